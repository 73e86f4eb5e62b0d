#include "module/class_table.h"

#include "codecs/encoder_options.h"
#include "drawing/drawing_settings.h"
#include "drawing/drawing_tool.h"
#include "layers/raster_collection.h"
#include "raster/raster_object.h"
#include "transforms/colour_transforms.h"
#include "transforms/geometric_transforms.h"
#include "transforms/kernel_transforms.h"
#include "rastelle_h.h"

namespace rastelle::module {

namespace {

// Flags of an entry.
constexpr bool kProgrammable = true;
constexpr bool kClassObject = true;
constexpr bool kCategory = true;

// Classes whose create function is null are registered, but their class
// objects are not served until they are built.
const ClassEntry kClasses[] = {
    {&CLSID_RasterObject, L"Rastelle.RasterObject.1", L"Rastelle.RasterObject", L"RasterObject Class",
     kProgrammable, kClassObject, !kCategory, &RasterObject::Create},
    {&CLSID_TransformFlipAndRotate, L"Rastelle.TransformFlipAndRotate.1", L"Rastelle.TransformFlipAndRotate",
     L"TransformFlipAndRotate Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformFlipAndRotate::Create},
    {&CLSID_RasterCollection, L"Rastelle.RasterCollection.1", L"Rastelle.RasterCollection",
     L"RasterCollection Class", kProgrammable, kClassObject, !kCategory, &layers::RasterCollection::Create},
    // Items are made only by their collection.
    {&CLSID_RasterItem, L"Rastelle.RasterItem.1", L"Rastelle.RasterItem", L"RasterItem Class", kProgrammable,
     !kClassObject, !kCategory, nullptr},
    {&CLSID_TransformResize, L"Rastelle.TransformResize.1", L"Rastelle.TransformResize",
     L"TransformResize Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformResize::Create},
    {&CLSID_TransformCrop, L"Rastelle.TransformCrop.1", L"Rastelle.TransformCrop", L"TransformCrop Class",
     kProgrammable, kClassObject, !kCategory, &transforms::TransformCrop::Create},
    {&CLSID_TransformEqualize, L"Rastelle.TransformEquali.1", L"Rastelle.TransformEqualize",
     L"TransformEqualize Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformEqualize::Create},
    {&CLSID_TransformRotate, L"Rastelle.TransformRotate.1", L"Rastelle.TransformRotate",
     L"TransformRotate Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformRotate::Create},
    {&CLSID_JPEGEncoderInfo, L"Rastelle.JPEGEncoderInfo.1", L"Rastelle.JPEGEncoderInfo",
     L"JPEGEncoderInfo Class", kProgrammable, kClassObject, !kCategory, &codecs::JPEGEncoderInfo::Create},
    {&CLSID_TIFFEncoderInfo, L"Rastelle.TIFFEncoderInfo.1", L"Rastelle.TIFFEncoderInfo",
     L"TIFFEncoderInfo Class", kProgrammable, kClassObject, !kCategory, &codecs::TIFFEncoderInfo::Create},
    {&CLSID_DrawingTool, L"Rastelle.DrawingTool.1", L"Rastelle.DrawingTool", L"DrawingTool Class",
     kProgrammable, kClassObject, !kCategory, &drawing::DrawingTool::Create},
    {&CLSID_DrawingPen, L"Rastelle.Pen.1", L"Rastelle.Pen", L"DrawingPen Class", kProgrammable, kClassObject,
     !kCategory, &drawing::DrawingPen::Create},
    {&CLSID_DrawingSolidBrush, L"Rastelle.SolidBrush.1", L"Rastelle.SolidBrush", L"SolidBrush Class",
     kProgrammable, kClassObject, !kCategory, &drawing::DrawingSolidBrush::Create},
    {&CLSID_DrawingHatchBrush, L"Rastelle.HatchBrush.1", L"Rastelle.HatchBrush", L"HatchBrush Class",
     kProgrammable, kClassObject, !kCategory, &drawing::DrawingHatchBrush::Create},
    {&CLSID_DrawingTextureBrush, L"Rastelle.TextureBrush.1", L"Rastelle.TextureBrush", L"TextureBrush Class",
     kProgrammable, kClassObject, !kCategory, &drawing::DrawingTextureBrush::Create},
    {&CLSID_TextInfo, L"Rastelle.TextInfo.1", L"Rastelle.TextInfo", L"TextInfo Class", kProgrammable,
     kClassObject, !kCategory, &drawing::TextInfo::Create},
    {&CLSID_TransformTransparentize, L"Rastelle.TransformTransparentize.1", L"Rastelle.TransformTransparentize",
     L"TransformTransparentize Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformTransparentize::Create},
    {&CLSID_SWFEncoderInfo, L"Rastelle.SWFEncoderInfo.1", L"Rastelle.SWFEncoderInfo", L"SWFEncoderInfo Class",
     kProgrammable, kClassObject, !kCategory, &codecs::SWFEncoderInfo::Create},
    {&CLSID_GIFEncoderInfo, L"Rastelle.GIFEncoderInfo.1", L"Rastelle.GIFEncoderInfo", L"GIFEncoderInfo Class",
     kProgrammable, kClassObject, !kCategory, &codecs::GIFEncoderInfo::Create},
    // A registered marker of the codec category, with no implementation.
    {&CLSID_GDIplusCodec, L"Rastelle.GDIplusCodec.1", L"Rastelle.GDIplusCodec", L"GDIplusCodec Class",
     !kProgrammable, !kClassObject, kCategory, nullptr},
    {&CLSID_TransformFastBlur, L"Rastelle.TransformFastBl.1", L"Rastelle.TransformFastBlur",
     L"TransformFastBlur Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformFastBlur::Create},
    {&CLSID_TransformGlow, L"Rastelle.TransformGlow.1", L"Rastelle.TransformGlow", L"TransformGlow Class",
     kProgrammable, kClassObject, !kCategory, &transforms::TransformGlow::Create},
    {&CLSID_TransformShadow, L"Rastelle.TransformShadow.1", L"Rastelle.TransformShadow",
     L"TransformShadow Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformShadow::Create},
    {&CLSID_TransformNoiseRemove, L"Rastelle.TransformNoiseRemove.1", L"Rastelle.TransformNoiseRemove",
     L"TransformNoiseRemove Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformNoiseRemove::Create},
    {&CLSID_TransformErosion, L"Rastelle.TransformErosio.1", L"Rastelle.TransformErosion",
     L"TransformErosion Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformErosion::Create},
    {&CLSID_TransformExpand, L"Rastelle.TransformExpand.1", L"Rastelle.TransformExpand",
     L"TransformExpand Class", kProgrammable, kClassObject, !kCategory, &transforms::TransformExpand::Create},
    {&CLSID_BMPEncoderInfo, L"Rastelle.BMPEncoderInfo.1", L"Rastelle.BMPEncoderInfo", L"BMPEncoderInfo Class",
     kProgrammable, kClassObject, !kCategory, &codecs::BMPEncoderInfo::Create},
    {&CLSID_WebPEncoderInfo, L"Rastelle.WebPEncoderInfo.1", L"Rastelle.WebPEncoderInfo", L"WebPEncoderInfo Class",
     kProgrammable, kClassObject, !kCategory, &codecs::WebPEncoderInfo::Create},
};

static_assert(sizeof(kClasses) / sizeof(kClasses[0]) == kClassCount);

}  // namespace

std::span<const ClassEntry> ClassTable() { return kClasses; }

const ClassEntry* FindClass(REFCLSID clsid) { return com::FindClass(kClasses, clsid); }

}  // namespace rastelle::module
