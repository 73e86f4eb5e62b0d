// Placeholder bodies: each effect copies its input until its kernel lands.
#include "kernels/effects/effects.h"

#include "kernels/fill_copy.h"

namespace rastelle::kernels::effects {

void Antialias(const ConstImageView& in, const ImageView& out) { CopyPixels(in, out); }
void Waddle(const ConstImageView& in, const ImageView& out) { CopyPixels(in, out); }
void Spray(const ConstImageView& in, const ImageView& out, int, int, std::uint32_t) { CopyPixels(in, out); }
void Mosaic(const ConstImageView& in, const ImageView& out, int, int) { CopyPixels(in, out); }
void Sinusize(const ConstImageView& in, const ImageView& out, const SinusizeParameters&) { CopyPixels(in, out); }
void Swirl(const ConstImageView& in, const ImageView& out, int) { CopyPixels(in, out); }
void EllipseCrop(const ConstImageView& in, const ImageView& out, int, int, int, int, std::uint32_t) { CopyPixels(in, out); }
void Texturize(const ConstImageView& in, const ImageView& out, int, float) { CopyPixels(in, out); }
void Sharpen(const ConstImageView& in, const ImageView& out, int) { CopyPixels(in, out); }
void Emboss(const ConstImageView& in, const ImageView& out, int) { CopyPixels(in, out); }
void EdgeDetect(const ConstImageView& in, const ImageView& out, int) { CopyPixels(in, out); }
void Buttonize(const ConstImageView& in, const ImageView& out, int, int, int) { CopyPixels(in, out); }
void PageCurl(const ConstImageView& in, const ImageView& out, int, int, int, std::uint32_t, std::uint32_t) { CopyPixels(in, out); }

}  // namespace rastelle::kernels::effects
