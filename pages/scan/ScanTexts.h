#pragma once

#include <cstdint>
#include <string>

namespace vellumin::scan {

// Result line: "" for a read (1), "DeviceIO error" (0), "drive fault" (-3), otherwise
// "Msg code : " and the decimal-coded error register.
std::string ReadResultText(int readResult);

// Result lines for a scan that could not start.
inline constexpr const char* kCannotOpenText = "The drive cannot be opened.";
inline constexpr const char* kNoSizeText = "The size of the drive cannot be read.";

// Item label while scanning: "Items Scanned : <lba> /<total>  <result>" (the result is empty
// while running, so the line ends in two blanks).
std::string ItemsScannedText(uint64_t lba, uint64_t total, const std::string& result = {});
// Item label at the end: "Items Scanned : <position> /<total> " (one trailing blank).
std::string ItemsScannedFinalText(uint64_t position, uint64_t total);

// lba / total x 100 in single precision, as the label has always rounded it.
float ScanPercent(uint64_t lba, uint64_t total);
// "%.0f %" of the percentage, e.g. "37 %".
std::string PercentText(float percent);

// "Elapsed Time : <h> hr  <m> min  <s> sec".
std::string ElapsedTimeText(uint32_t seconds);

}  // namespace vellumin::scan
