#include "core/lamps.h"

#include <array>
#include <utility>

namespace loomway {

std::optional<LampPicture> PictureForCode(const std::string& code) {
    // Compared in this order; the codes are distinct, so at most one matches.
    static const std::array<std::pair<const char*, LampPicture>, 17> table{{
        {"PDOFF", LampPicture::IMG_POFF},
        {"PDON", LampPicture::IMG_PON},
        {"MOFF", LampPicture::IMG_MOFF},
        {"MON", LampPicture::IMG_MON},
        {"POFF", LampPicture::IMG_OFF},
        {"PON", LampPicture::IMG_ON},
        {"CLPON", LampPicture::img_con},
        {"CLPOFF", LampPicture::img_coff},
        {"CLPFLY", LampPicture::imgClpf},
        {"PRTON", LampPicture::IMG_PRON},
        {"PRTOFF", LampPicture::IMG_PROF},
        {"DG", LampPicture::imgDG},
        {"LG", LampPicture::imgLG},
        {"DR", LampPicture::imgDR},
        {"LR", LampPicture::imgLR},
        {"ON", LampPicture::imgON},
        {"OFF", LampPicture::imgOFF},
    }};
    for (const auto& [name, picture] : table) {
        if (code == name) {
            return picture;
        }
    }
    return std::nullopt;
}

} // namespace loomway
