#ifndef SCENEUNIFORMS_H
#define SCENEUNIFORMS_H

// What a frame feeds the scene besides the size it is drawn at (iFont is
// always texture unit 0, where the font is bound). Plain C++, no GL.
struct SceneUniforms
{
    float beat = 0.0f;     // iBeat: the beat pulse, clamped at 0
    float showTime = 0.0f; // iGlobalTime: seconds of show time
};

#endif // SCENEUNIFORMS_H
