#include "pipeline/render_context.h"

// Static storage: every field starts zero.
RenderContext renderContext;
