-- A 640 x 480 window without synchronisation and without sound, as the room benchmark draws.
function love.conf(t)
  t.window.title = "room draw"
  t.window.width = 640
  t.window.height = 480
  t.window.vsync = 0
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
  t.modules.physics = false
  t.modules.touch = false
  t.modules.video = false
end
