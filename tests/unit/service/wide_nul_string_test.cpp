#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/service_handles.h"
#include "service/wide_nul_string.h"
#include "support/sim_fixture.h"

namespace {

using Units = std::u16string;

Units units_of(const Utf16Buffer& buffer) {
  return Units(buffer.view().begin(), buffer.view().end());
}

// The bytes in storage of exactly their size, so that a read past the end trips the sanitizer.
Units decode_exactly(std::string_view bytes) {
  std::vector<char> storage(bytes.begin(), bytes.end());
  return units_of(utf8_to_utf16(std::string_view(storage.data(), storage.size())));
}

struct CapacityCase {
  std::string text;
  std::size_t length;
  std::size_t capacity;
};

class Utf8ToUtf16Capacity : public SimTest, public ::testing::WithParamInterface<CapacityCase> {};

// Start at max(4, ceil(bytes after the first character / 4) + 1), then double when full,
// unless the bytes still ahead ask for more.
TEST_P(Utf8ToUtf16Capacity, FollowsTheAllocationPolicy) {
  const Utf16Buffer buffer = utf8_to_utf16(GetParam().text);
  EXPECT_EQ(buffer.length(), GetParam().length);
  EXPECT_EQ(buffer.capacity(), GetParam().capacity);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToUtf16Capacity,
    ::testing::Values(CapacityCase{"", 0, 0},                         // no storage at all
                      CapacityCase{"a", 1, 4},                        // never below 4
                      CapacityCase{"abcde", 5, 8},                    // 4 then doubled
                      CapacityCase{"tembra_service", 14, 20},         // 5, 10, 20
                      CapacityCase{"abcdefghijklmnopq", 17, 20},      // 5, 10, 20
                      CapacityCase{"abcdefghijklmnopqrstu", 21, 24},  // 6, 12, 24
                      // Each three-byte character gives one unit: 1 + ceil(9/4) = 4, then
                      // max(8, 4 + ceil(3/4) + 1) = 8.
                      CapacityCase{"\u20AC\u20AC\u20AC\u20AC\u20AC", 5, 8},
                      // The first character's second unit counts: max(4, 0 + 1 + 1) = 4.
                      CapacityCase{"\U0001F600", 2, 4}));

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
  EXPECT_EQ(decode_exactly("\U0010FFFF"), Units(u"\xDBFF\xDFFF"));
  EXPECT_EQ(decode_exactly("\U00010000"), Units(u"\xD800\xDC00"));
}

using Utf8ToUtf16 = SimTest;

TEST_F(Utf8ToUtf16, WellFormedTextOfEveryLength) {
  EXPECT_EQ(decode_exactly("A\u00E9\u20AC\U0001F600"), Units(u"A\u00E9\u20AC\xD83D\xDE00"));
  EXPECT_EQ(decode_exactly("\u07FF\u0800\uFFFF"), Units(u"\u07FF\u0800\uFFFF"));
}

struct IllFormed {
  const char* what;
  std::string bytes;
  Units units;
};

class Utf8ToUtf16IllFormed : public SimTest, public ::testing::WithParamInterface<IllFormed> {};

TEST_P(Utf8ToUtf16IllFormed, BecomesReplacementCharactersWithoutReadingPastTheEnd) {
  EXPECT_EQ(decode_exactly(GetParam().bytes), GetParam().units) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8ToUtf16IllFormed,
    ::testing::Values(IllFormed{"two-byte lead at the end", "a\xC3", u"a\uFFFD"},
                      IllFormed{"three-byte sequence cut after two", "\xE2\x82", u"\uFFFD"},
                      IllFormed{"four-byte sequence cut after three", "\xF0\x9F\x98", u"\uFFFD"},
                      IllFormed{"four-byte lead alone at the end", "ab\xF0", u"ab\uFFFD"},
                      IllFormed{"stray continuation bytes", "\x80x\xBF", u"\uFFFDx\uFFFD"},
                      IllFormed{"truncated sequence before ASCII", "\xE2\x82z", u"\uFFFDz"},
                      IllFormed{"overlong two-byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      IllFormed{"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"overlong four-byte", "\xF0\x8F\xBF\xBF",
                                u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"lead byte beyond F4", "\xF5\x80", u"\uFFFD\uFFFD"},
                      IllFormed{"byte FF", "\xFF", u"\uFFFD"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

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
