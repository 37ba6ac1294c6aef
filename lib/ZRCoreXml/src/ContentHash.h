// A 128-bit hash of a document's bytes, to know a document already parsed
// when its bytes come again. Not for anything an adversary chooses against
// something else: whoever writes a description decides its content anyway.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zrxml {

struct CContentHash {
    std::uint64_t qwLow = 0;
    std::uint64_t qwHigh = 0;
    bool operator==(const CContentHash& o) const { return qwLow == o.qwLow && qwHigh == o.qwHigh; }
    bool operator!=(const CContentHash& o) const { return !(*this == o); }
};

CContentHash HashContent(const unsigned char* pData, std::size_t cbData);

} // namespace zrxml
