#pragma once

#include "services/printersurface.h"

#include <cstddef>
#include <optional>
#include <string>

namespace loomway {

// The fields of the printer status reply, as the decimal texts that go on the
// wire. They start at their start values; LEN is always the body length.
struct StatusFields {
    std::string H = "0";  // lines per page
    std::string W = "0";  // characters per line
    std::string FH = "0"; // height of "O", twips
    std::string FW = "0"; // width of "O", twips
    std::size_t LEN = 0;  // characters of the document body
    std::string NAME = "NOT_DEFINED";
};

// Resets the measured fields to their start values, then fills them one by one
// from the surface's page size and its current font. A failure (of the surface
// or of the arithmetic) throws PrinterError and leaves the fields computed
// before it in place.
void ComputeStatusFields(PrinterSurface& surface, StatusFields& fields);

// "<LMW_RSP>STA=DEFINED~PRINT_HW=H,W~FONT_HW=FH,FW~LEN=n~NAME=name</LMW_RSP>";
// with an error code, "STA=ERROR(code)" instead of "STA=DEFINED".
std::string FormatStatusReply(const StatusFields& fields, std::optional<int> errorCode);

} // namespace loomway
