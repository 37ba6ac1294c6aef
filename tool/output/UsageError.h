// A command line the tool cannot act on: reported as one line, exit code 3.
#pragma once

#include <stdexcept>
#include <string>

namespace kvtool {

class CUsageError : public std::runtime_error {
  public:
    explicit CUsageError(const std::string& strMessage) : std::runtime_error(strMessage) {}
};

} // namespace kvtool
