#pragma once

// Draws one frame of the scene into the framebuffer at renderContext.elapsedTime:
// the turning model, the tumbling cube and, while toggled on with V, the
// depth view.
void composeScene();
