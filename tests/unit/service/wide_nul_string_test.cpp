#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "service/service_handles.h"
#include "service/wide_nul_string.h"
#include "support/sim_fixture.h"

namespace {

using Units = std::u16string;

using WideNulStringTest = SimTest;

TEST_F(WideNulStringTest, ServiceNameBecomesFifteenUnitsWithTheTerminator) {
  const auto name = WideNulString::from_utf8("tembra_service");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->size_with_nul(), 15u);
  constexpr char16_t kExpected[] = u"tembra_service";  // the terminator included
  EXPECT_EQ(Units(name->c_str(), 15), Units(std::begin(kExpected), std::end(kExpected)));
}

TEST_F(WideNulStringTest, EmptyNameIsASingleZeroUnit) {
  const auto name = WideNulString::from_utf8("");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->size_with_nul(), 1u);
  EXPECT_EQ(name->c_str()[0], 0);
}

TEST_F(WideNulStringTest, TrailingNulIsTakenAsTheTerminator) {
  const auto name = WideNulString::from_utf8(std::string_view("svc\0", 4));
  ASSERT_TRUE(name);
  EXPECT_EQ(name->size_with_nul(), 4u);
}

TEST_F(WideNulStringTest, NulBeforeTheEndIsRejected) {
  for (std::string_view text : {std::string_view("a\0b", 3), std::string_view("\0\0", 2),
                                std::string_view("\0a", 2), std::string_view("ab\0\0", 4)}) {
    EXPECT_FALSE(WideNulString::from_utf8(text)) << text.size() << " bytes";
  }
}

TEST_F(WideNulStringTest, CharacterAboveTheBasicPlaneIsASurrogatePairHighFirst) {
  const auto name = WideNulString::from_utf8("a\U0001F600");
  ASSERT_TRUE(name);
  constexpr char16_t kExpected[] = u"a\xD83D\xDE00";  // the terminator included
  EXPECT_EQ(Units(name->c_str(), name->size_with_nul()),
            Units(std::begin(kExpected), std::end(kExpected)));
}

using OpenService = SimTest;

TEST_F(OpenService, NameWithInteriorNulFailsBeforeThePlatformIsAsked) {
  auto manager = ServiceManagerHandle::connect(SC_MANAGER_CONNECT);
  ASSERT_TRUE(manager);
  auto service = manager->open_service(std::string_view("tembra\0service", 14), 0x10024);
  ASSERT_FALSE(service);
  const auto* nul = std::get_if<ServiceControlError::ArgumentHasNulByte>(&service.error().kind());
  ASSERT_NE(nul, nullptr);
  EXPECT_EQ(nul->label, "service name");
  EXPECT_TRUE(sim::calls_to({"OpenServiceW"}).empty());
}

TEST_F(OpenService, EmptyNameIsLeftToThePlatform) {
  auto manager = ServiceManagerHandle::connect(SC_MANAGER_CONNECT);
  ASSERT_TRUE(manager);
  auto service = manager->open_service("", SERVICE_QUERY_STATUS);
  ASSERT_FALSE(service);
  EXPECT_TRUE(std::holds_alternative<ServiceControlError::Winapi>(service.error().kind()));
  EXPECT_THAT(sim::calls_to({"OpenServiceW"}),
              ::testing::ElementsAre("OpenServiceW(" + handle_label(0) + ", u\"\", 0x4) = null"));
}

TEST_F(OpenService, HandleSurvivesARefusedDeletionAndIsClosedOnce) {
  install_service(SERVICE_STOPPED);
  {
    auto manager = ServiceManagerHandle::connect(SC_MANAGER_CONNECT);
    ASSERT_TRUE(manager);
    auto service = manager->open_service("tembra_service", DELETE);
    ASSERT_TRUE(service);
    sim::fail_next("DeleteService", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(service->delete_service());
    EXPECT_TRUE(service->delete_service()) << "the handle is still open and usable";
    ServiceHandle moved = std::move(*service);
  }
  EXPECT_TRUE(every_handle_closed_once());
}

}  // namespace
