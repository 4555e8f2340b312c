#include "capture/captureencoder.h"

#include "capture/hexlogencoder.h"
#include "capture/pppdumpencoder.h"

namespace loomway {

std::unique_ptr<CaptureEncoder> MakeCaptureEncoder(CaptureFormat format) {
    if (format == CaptureFormat::HexLog) {
        return std::make_unique<HexLogEncoder>();
    }
    return std::make_unique<PppdumpEncoder>();
}

} // namespace loomway
