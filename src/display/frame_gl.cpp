#include "display/frame_gl.h"

#include "display/gl_vsync.h"
#include "platform/debug_output.h"
#include "platform/gl.h"
#include "slides/texture_pool.h"

namespace {

// glGetError reports each error flag once; a driver that keeps reporting
// is not allowed to hold the frame for ever.
constexpr int kMostGLErrorsPerFrame = 64;

// The clear honours the colour mask, so alpha is writable for it.
void clearOpaque() {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
}

}  // namespace

bool setupProjection() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.25, 0.25, -0.25, 0.25, 0.25, 2.0);
    GLVSync vsync;
    const bool supported = vsync.init();
    if (!supported) debugOutput("Glimmora.scr: VSync could not be initialized\n");
    vsync.enable();
    return supported && !vsync.isDisabled();
}

void beginSlideFrame() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    clearOpaque();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    // A slide's margin and soft edges are translucent: blended into alpha
    // they would leave it below 1 where the fade is under way.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
}

void clearToBlack() { clearOpaque(); }

void warmUpSlideDrawing() {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    setSlideSampling();
    const unsigned char texels[4 * 4 * 4] = {};
    for (int level = 0, side = 4; side >= 1; ++level, side /= 2)
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    beginSlideFrame();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glTranslatef(0.0f, 0.0f, -1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-0.1f, 0.1f, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-0.1f, -0.1f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(0.1f, -0.1f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(0.1f, 0.1f, 0.0f);
    glEnd();
    glFinish();
    glDeleteTextures(1, &name);
    clearToBlack();
}

bool drainGLErrors() {
    bool any = false;
    for (int i = 0; i < kMostGLErrorsPerFrame; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        any = true;
        debugOutput("Glimmora.scr: OpenGL Error -- ");
        const GLubyte* text = gluErrorString(error);
        debugOutput(text ? reinterpret_cast<const char*>(text) : "unknown error");
        debugOutput("\n");
    }
    return any;
}
