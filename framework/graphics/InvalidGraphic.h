#pragma once

#include "framework/runtime/Errors.h"

// Raised for picture data that cannot be decoded and for operations a kind of
// picture does not support. Apart from the graphic classes so that decoders
// kept away from them (the JPEG codec's) raise it too: every reader's damaged
// data then comes out as this one error.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};
