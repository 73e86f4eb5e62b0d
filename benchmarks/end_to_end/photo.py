#!/usr/bin/env python3
"""Writes the end-to-end benchmarks' 4000 x 3000 photo-like picture (smooth
shapes with fine grain, not a flat or noisy test card) to the file named, in
the format its extension names (JPEG at quality 90).

    photo.py OUTPUT
"""
import sys

from PIL import Image, ImageFilter

small = Image.effect_noise((500, 375), 64).convert('RGB').filter(ImageFilter.GaussianBlur(6))
photo = Image.merge('RGB', [small.getchannel(0), small.rotate(90).getchannel(1),
                            small.transpose(Image.FLIP_LEFT_RIGHT).getchannel(2)]).resize((4000, 3000), Image.BICUBIC)
Image.blend(photo, Image.effect_noise((4000, 3000), 12).convert('RGB'), 0.08).save(sys.argv[1], quality=90)
