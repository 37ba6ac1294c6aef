// The numeric value of an element's text.
#pragma once

#include <cstdint>
#include <string_view>

namespace zrxml {

// Decimal: leading white space skipped, one optional sign, digits up to the
// first other character; no digits read as 0. A value beyond [llMin, llMax]
// is clamped to the nearer limit, so a count too large for its type reads
// as the largest it can hold rather than as some wrapped-around value.
std::int64_t ParseDecimal(std::string_view svText, std::int64_t llMin, std::int64_t llMax);

} // namespace zrxml
