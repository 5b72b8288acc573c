// Every uniform the show feeds, one a colour.

#version 330 core
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform float iBeat;
uniform sampler2D iFont;
out vec4 result;
void main()
{
    float t = gl_FragCoord.y < iResolution.y * 0.5 ? 0.25 : 0.75;
    result = vec4(iBeat, texture(iFont, vec2(0.25, t)).g, fract(iGlobalTime / 4.0), 1.0);
}
