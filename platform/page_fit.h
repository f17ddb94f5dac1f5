#pragma once

namespace pw {

// Where a printed page goes on the paper's printable area: turned a quarter when its
// orientation differs from the area's, shrunk to fit but never enlarged, centred.
struct PageFit {
    bool rotate = false;
    double scale = 1;
    // Top-left corner of the placed (and possibly turned) page on the area.
    double x = 0;
    double y = 0;
};

PageFit fitPage(double pageWidth, double pageHeight, double areaWidth, double areaHeight);

}  // namespace pw
