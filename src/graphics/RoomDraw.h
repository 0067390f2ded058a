// Drawing the current room in a step: the background colour, the background layers, the instances
// by depth (their draw event, or their sprite), the foreground layers. Views, tiles and the
// caption come later; the room is drawn into a region of its own size.
#pragma once

namespace kestro {

// The drawing region (and the window's region) to the current room's size.
void SizeRegionToRoom();
void DrawRoom();

}  // namespace kestro
