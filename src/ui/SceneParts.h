// The regions of the main window's frame and the small line drawings they
// share; one file each, put together by BuildMainScene.
#pragma once

#include "ui/MainScene.h"

namespace postern::scene {

void AddToolbar(const MainSceneInput& input, MainScene& out);
void AddRail(const MainSceneInput& input, MainScene& out);
void AddList(const MainSceneInput& input, Scene& scene);
void AddReadingHeader(const MainSceneInput& input, MainScene& out);

// Glyphs, centred on (cx, cy).
void Chevron(Scene& scene, float cx, float cy, bool down, uint32_t colour, float scale);
void LockGlyph(Scene& scene, float cx, float cy, uint32_t colour, float scale);
void ToolbarIcon(Scene& scene, int32_t id, float cx, float cy, uint32_t colour, float scale);

} // namespace postern::scene
