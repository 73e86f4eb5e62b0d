// Exchange of images with OLE picture objects (a Visual Basic picture box's
// Picture, for instance), through GDI bitmap handles.
#pragma once

#include "image/bitmap.h"

#include <ocidl.h>
#include <olectl.h>

#include <memory>

namespace rastelle::codecs {

// The body of IRasterObject::SavePicture: a new picture object that owns a
// bitmap handle of the image, partly transparent pixels blended over opaque
// black. Throws com::ComError for the failures with a message; returns
// OleCreatePictureIndirect's result.
HRESULT SavePicture(Bitmap* image, IPictureDisp** picture);

// The image of a picture object as a new 32-bit ARGB bitmap. The picture
// keeps its handle and palette. Throws com::ComError: the query's result
// without message when it is no IPicture, "Cannot get image from
// IPictureDisp" when it holds no bitmap GDI+ can read.
std::unique_ptr<Bitmap> ImageOfPicture(IPictureDisp* picture);

}  // namespace rastelle::codecs
