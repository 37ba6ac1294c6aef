// Fuzz bytes as wide text: a byte below 0xF0 is that character; 0xF0 to
// 0xFF and two more bytes give a character up to U+FFFFF (surrogates and
// noncharacters included), so the mutator reaches beyond Latin-1 cheaply.
// The text stops at the first character 0, as a C string does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvfuzz {

inline std::wstring WideFromBytes(const std::uint8_t* pData, std::size_t cbData)
{
    std::wstring strText;
    for (std::size_t i = 0; i < cbData; ++i) {
        std::uint32_t uChar = pData[i];
        if (uChar >= 0xF0 && i + 2 < cbData) {
            uChar = ((uChar & 0x0F) << 16) | (static_cast<std::uint32_t>(pData[i + 1]) << 8) | pData[i + 2];
            i += 2;
        }
        if (uChar == 0)
            break;
        strText += static_cast<wchar_t>(uChar);
    }
    return strText;
}

} // namespace kvfuzz
