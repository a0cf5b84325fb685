#include "display/rotation.h"

namespace skimbo {

int RotationMap::init(int panel_width, int panel_height, int turn_degrees) {
    if (turn_degrees != 270 || panel_width < 1 || panel_height < 1) return -1;
    degrees = turn_degrees;
    physical_width = panel_width;
    physical_height = panel_height;
    logical_width = panel_height;
    logical_height = panel_width;
    return 0;
}

}  // namespace skimbo
