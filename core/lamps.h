#pragma once

#include <optional>
#include <string>

namespace loomway {

// The six image elements of the main window that take lamp codes.
enum class Lamp {
    imgPWR,   // power lamp
    imgRCV,   // receive lamp
    imgSND,   // modem-send lamp
    IMGPRT,   // printer lamp
    imgCLP,   // clipboard lamp
    imgOnOff, // switch picture
};

// The picture stores a lamp code can name.
enum class LampPicture {
    IMG_ON,
    IMG_OFF,
    IMG_PON,
    IMG_POFF,
    IMG_MON,
    IMG_MOFF,
    IMG_PRON,
    IMG_PROF,
    img_con,
    img_coff,
    imgClpf,
    imgON,
    imgOFF,
    imgDG,
    imgLG,
    imgDR,
    imgLR,
};

// The store that a lamp code names, compared exactly; nothing for any other text.
std::optional<LampPicture> PictureForCode(const std::string& code);

// Shows lamp codes; implemented by the main window.
class LampPanel {
public:
    virtual ~LampPanel() = default;
    // Shows the picture that code names on lamp (none when the code is unknown),
    // then repaints the lamp at once.
    virtual void SetLamp(Lamp lamp, const std::string& code) = 0;
    // Lets lamp alternate between the pictures of litCode and darkCode until
    // the next SetLamp on it.
    virtual void BlinkLamp(Lamp lamp, const std::string& litCode, const std::string& darkCode) {
        (void)darkCode;
        SetLamp(lamp, litCode);
    }
};

} // namespace loomway
