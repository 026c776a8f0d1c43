#pragma once

// Window measures are given in twips: 1440 to the inch, so 15 to the pixel at 96 dots per
// inch. Every conversion goes through these two functions, scaled by the screen's logical
// resolution.
namespace Twips {

constexpr int PerInch = 1440;

constexpr int toPixels(int twips, double logicalDpi = 96.0)
{
    const double pixels = twips * logicalDpi / PerInch;
    return int(pixels >= 0 ? pixels + 0.5 : pixels - 0.5);
}

constexpr int fromPixels(int pixels, double logicalDpi = 96.0)
{
    const double twips = pixels * PerInch / logicalDpi;
    return int(twips >= 0 ? twips + 0.5 : twips - 0.5);
}

static_assert(toPixels(15) == 1 && toPixels(1400) == 93 && fromPixels(1) == 15);

} // namespace Twips
