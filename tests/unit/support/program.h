// The tests speak of the program's names unqualified.
#pragma once

namespace tembra {}

using namespace tembra;
