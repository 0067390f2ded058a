// The draw step: views follow their instances and are registered for the mouse conversion, the
// instances and tiles are sorted by depth, and each visible view (or the whole room when views
// are off) is drawn: the room colour, the background layers, instances, tiles and particle
// systems merged by depth, the foreground layers and the cursor sprite. Then the window caption
// with score, lives and health. Also the drawing region a room gets when it starts.
#pragma once

#include <string>

namespace kestro {

class CLiveRoom;

// The particle systems drawn with the room, by depth (the particle layer installs itself).
class IRoomParticles {
 public:
  virtual ~IRoomParticles() = default;
  // The highest depth of the systems drawn with the room; -1e9 when there are none.
  virtual double HighestDepth() = 0;
  // The highest such depth strictly below `depth`; -1e9 when there is none.
  virtual double DepthBelow(double depth) = 0;
  // Draws the systems whose depth lies within 0.01 of `depth`.
  virtual void DrawAt(double depth) = 0;
};
// nullptr: no particle systems.
void SetRoomParticles(IRoomParticles* particles);

// The drawing region (and the window's region) for the current room: its size, or with views
// the extent of the visible ports (at least 8 x 8), cut to the screen. The port table is emptied.
void SizeRegionToRoom();

// Moves every visible view that follows an instance, then fills ports 0 to 7 from the views
// (all cleared when views are off).
void FollowViews(CLiveRoom& room);

// The whole draw step for the current room.
void DrawRoom();

// The caption the draw step gives the window.
std::string RoomCaption();

}  // namespace kestro
