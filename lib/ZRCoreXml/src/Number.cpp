#include "Number.h"

namespace zrxml {

std::int64_t ParseDecimal(std::string_view svText, std::int64_t llMin, std::int64_t llMax)
{
    size_t i = 0;
    while (i < svText.size() && (svText[i] == ' ' || (svText[i] >= '\t' && svText[i] <= '\r')))
        ++i;
    bool bNegative = false;
    if (i < svText.size() && (svText[i] == '+' || svText[i] == '-'))
        bNegative = svText[i++] == '-';
    // The magnitude saturates just past any limit of a signed 64-bit value.
    constexpr std::uint64_t kSaturated = (std::uint64_t{1} << 63) + 1;
    std::uint64_t qwMagnitude = 0;
    for (; i < svText.size() && svText[i] >= '0' && svText[i] <= '9'; ++i) {
        const unsigned nDigit = static_cast<unsigned>(svText[i] - '0');
        if (qwMagnitude > (kSaturated - nDigit) / 10)
            qwMagnitude = kSaturated;
        else
            qwMagnitude = qwMagnitude * 10 + nDigit;
    }
    if (bNegative) {
        const std::uint64_t qwLimit = std::uint64_t{0} - static_cast<std::uint64_t>(llMin);
        return qwMagnitude >= qwLimit ? llMin : -static_cast<std::int64_t>(qwMagnitude);
    }
    return qwMagnitude >= static_cast<std::uint64_t>(llMax) ? llMax : static_cast<std::int64_t>(qwMagnitude);
}

} // namespace zrxml
