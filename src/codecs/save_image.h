// Saving a raster object's image to a file, to an IStream or to an ASP
// Response object, in the format chosen by its output file type or by an
// encoder option object.
#pragma once

#include "image/bitmap.h"
#include "rastelle_h.h"

namespace rastelle::codecs {

// The parts of a raster object's state that saving reads.
struct SaveSource {
    Bitmap* bitmap = nullptr;  // the object's own image, or null
    FileType outputType = FileType::JPEG;
    float horizontalResolution = 0;
    float verticalResolution = 0;
};

// The bodies of IRasterObject::SaveFile and SaveStream. Every failure that
// carries a message is thrown as com::ComError (for com::Boundary); the
// result is the method's HRESULT otherwise.
HRESULT SaveFile(const SaveSource& source, BSTR fileName, IDispatch* encoder);
HRESULT SaveStream(const SaveSource& source, IUnknown* outputStream, IDispatch* encoder);

// The ASP Response interface, which receives a stream save's bytes.
extern const IID kIID_IResponse;

}  // namespace rastelle::codecs
