-- The same scene as the room benchmark (bench/platform_room_draw.cpp): 10,000 sprites of 32 x 32
-- with their origin at the centre, moving and bouncing at the room's edges, drawn every frame in
-- creation order over a cleared 640 x 480 screen. Arguments: frames to time [, instances
-- [, scale]] (a scale of 1/32 leaves out nearly all the filling).
-- Prints "fps N cpu M" (M: processor milliseconds per frame, the rasterizer's threads included,
-- which a busy machine disturbs less than the frame rate) and quits. The last frame is read back, so every timed frame has been drawn.

local function pattern(x, y)
  -- A disc with a soft rim and transparent corners; the same texels as the C++ side.
  local dx, dy = x - 15.5, y - 15.5
  local d = dx * dx + dy * dy
  local a = 0
  if d < 14 * 14 then a = 255 elseif d < 16 * 16 then a = 128 end
  return (x * 8) % 256, (y * 8) % 256, ((x + y) * 4) % 256, a
end

function love.run()
  local frames = tonumber(arg[2]) or 300
  local count = tonumber(arg[3]) or 10000
  local scale = tonumber(arg[4]) or 1
  local data = love.image.newImageData(32, 32)
  data:mapPixel(function(x, y)
    local r, g, b, a = pattern(x, y)
    return r / 255, g / 255, b / 255, a / 255
  end)
  local image = love.graphics.newImage(data)
  image:setFilter("nearest", "nearest")
  local xs, ys, hs, vs = {}, {}, {}, {}
  for i = 0, count - 1 do
    xs[i + 1] = 16 + (i * 7919) % 608
    ys[i + 1] = 16 + (i * 104729) % 448
    hs[i + 1] = (i % 7) - 3
    vs[i + 1] = (i % 5) - 2
  end
  local function frame()
    for i = 1, count do
      local x, y = xs[i] + hs[i], ys[i] + vs[i]
      if x < 16 or x > 624 then hs[i] = -hs[i] end
      if y < 16 or y > 464 then vs[i] = -vs[i] end
      xs[i], ys[i] = x, y
    end
    love.graphics.clear(0.25, 0.25, 0.25, 1)
    for i = 1, count do love.graphics.draw(image, xs[i], ys[i], 0, scale, scale, 16, 16) end
  end
  return function()
    love.event.pump()
    -- A few frames first: shaders and buffers are made on first use.
    for _ = 1, 10 do
      frame()
      love.graphics.present()
    end
    local done, cpuDone = nil, nil
    local start, cpuStart = love.timer.getTime(), os.clock()
    for k = 1, frames do
      frame()
      if k == frames then
        love.graphics.captureScreenshot(function()
          done, cpuDone = love.timer.getTime(), os.clock()
        end)
      end
      love.graphics.present()
    end
    done, cpuDone = done or love.timer.getTime(), cpuDone or os.clock()
    print(string.format("fps %.3f cpu %.3f", frames / (done - start), (cpuDone - cpuStart) * 1000 / frames))
    io.stdout:flush()
    return 0
  end
end
