#include "services/statusreply.h"

#include <cmath>
#include <limits>
#include <utility>

namespace loomway {

namespace {

const std::string kMeasure = "O";

// The whole part of a measure or quotient as a decimal without sign.
std::string WholePart(double value) {
    if (!std::isfinite(value) || value < 0 ||
        value >= static_cast<double>(std::numeric_limits<long>::max())) {
        throw PrinterError{PrinterError::kOverflow};
    }
    return std::to_string(static_cast<long>(std::floor(value)));
}

std::string Quotient(int page, float measure) {
    if (measure == 0) {
        throw PrinterError{PrinterError::kDivisionByZero};
    }
    return WholePart(static_cast<double>(page) / static_cast<double>(measure));
}

} // namespace

void ComputeStatusFields(PrinterSurface& surface, StatusFields& fields) {
    // Back to the start values; the body length stays.
    const std::size_t length = fields.LEN;
    fields = StatusFields{};
    fields.LEN = length;
    if (const int height = surface.PageHeight(); height > 0) {
        fields.H = Quotient(height, surface.TextHeight(kMeasure));
    }
    if (const int width = surface.PageWidth(); width > 0) {
        fields.W = Quotient(width, surface.TextWidth(kMeasure));
    }
    if (const float height = surface.TextHeight(kMeasure); height > 0) {
        fields.FH = WholePart(height);
    }
    if (const float width = surface.TextWidth(kMeasure); width > 0) {
        fields.FW = WholePart(width);
    }
    if (std::string name = surface.DeviceName(); !name.empty()) {
        fields.NAME = std::move(name);
    }
}

std::string FormatStatusReply(const StatusFields& fields, std::optional<int> errorCode) {
    std::string reply = "<LMW_RSP>";
    if (errorCode) {
        reply += "STA=ERROR(";
        reply += std::to_string(*errorCode);
        reply += ")~PRINT_HW=";
    } else {
        reply += "STA=DEFINED~PRINT_HW=";
    }
    reply += fields.H;
    reply += ',';
    reply += fields.W;
    reply += "~FONT_HW=";
    reply += fields.FH;
    reply += ',';
    reply += fields.FW;
    reply += "~LEN=";
    reply += std::to_string(fields.LEN);
    reply += "~NAME=";
    reply += fields.NAME;
    reply += "</LMW_RSP>";
    return reply;
}

} // namespace loomway
