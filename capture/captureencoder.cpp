#include "capture/captureencoder.h"

namespace loomway {

// Each format's encoder is private to its own file.
std::unique_ptr<CaptureEncoder> MakePppdumpEncoder();
std::unique_ptr<CaptureEncoder> MakeHexLogEncoder();

std::unique_ptr<CaptureEncoder> MakeCaptureEncoder(CaptureFormat format) {
    if (format == CaptureFormat::HexLog) {
        return MakeHexLogEncoder();
    }
    return MakePppdumpEncoder();
}

} // namespace loomway
