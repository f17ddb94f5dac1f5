#include "platform/page_fit.h"

#include <algorithm>

namespace pw {

PageFit fitPage(double pageWidth, double pageHeight, double areaWidth, double areaHeight)
{
    PageFit fit;
    if (pageWidth <= 0 || pageHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return fit;
    fit.rotate = (pageWidth > pageHeight && areaWidth < areaHeight) ||
                 (pageWidth < pageHeight && areaWidth > areaHeight);
    const double placedWidth = fit.rotate ? pageHeight : pageWidth;
    const double placedHeight = fit.rotate ? pageWidth : pageHeight;
    fit.scale = std::min({1.0, areaWidth / placedWidth, areaHeight / placedHeight});
    fit.x = (areaWidth - placedWidth * fit.scale) / 2;
    fit.y = (areaHeight - placedHeight * fit.scale) / 2;
    return fit;
}

}  // namespace pw
