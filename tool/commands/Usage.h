// The help text.
#pragma once

namespace kvtool {

const char* UsageText();

} // namespace kvtool
