#version 330 core

uniform vec2 iResolution;   // drawn area in framebuffer pixels
uniform float iGlobalTime;  // show time in seconds; may be negative and may jump
uniform float iBeat;        // beat pulse, 0 to 0.9
uniform sampler2D iFont;    // font texture on unit 0

out vec4 result;

const int AA = 1;                   // sub-samples per pixel along each axis
const float PI = 3.14159265359;
const float DEG_TO_RAD = PI / 180.0;
const float DISTANCE = 6.0;         // z of the ray start before the camera transform

void main()
{
    vec2 uv = gl_FragCoord.xy / iResolution;
    result = vec4(uv, 0.5 + 0.5 * sin(iGlobalTime), 1.0);
}
