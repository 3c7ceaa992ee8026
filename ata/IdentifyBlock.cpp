#include "ata/IdentifyBlock.h"

#include <cctype>
#include <cstdio>

namespace vellumin::ata {

std::string WordHex(const IdentifyBlock& block, int k) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X%02X", block[2 * k + 1], block[2 * k]);
    return text;
}

std::string AtaString(const IdentifyBlock& block, int first, int words) {
    std::string text;
    text.reserve(2 * words);
    for (int k = first; k < first + words && 2 * k + 1 < static_cast<int>(block.size()); ++k) {
        text += static_cast<char>(block[2 * k + 1]);
        text += static_cast<char>(block[2 * k]);
    }
    return text;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    return text;
}

}  // namespace vellumin::ata
