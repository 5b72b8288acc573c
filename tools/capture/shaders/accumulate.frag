#version 330 core
// Adds one sub-frame to the running sums of light: each pixel of the output
// takes the block of scale x scale pixels it covers in the scene's frame,
// which is drawn that many times larger. The sums are whole numbers, so that
// the average is the same wherever it is computed.

uniform sampler2D scene;     // the sub-frame, 8 bits a channel
uniform usampler2D sums;     // the sums so far
uniform bool first;          // true for the first sub-frame: no sums yet
uniform int scale;
uniform uint light[256];     // the light of each 8-bit value, 2^20 for full

out uvec4 total;

void main()
{
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    uvec3 sum = first ? uvec3(0u) : texelFetch(sums, pixel, 0).rgb;
    for (int y = 0; y < scale; ++y) {
        for (int x = 0; x < scale; ++x) {
            // The 8-bit value back from its normalised form.
            ivec3 value = ivec3(round(texelFetch(scene, pixel * scale + ivec2(x, y), 0).rgb * 255.0));
            sum += uvec3(light[value.r], light[value.g], light[value.b]);
        }
    }
    total = uvec4(sum, 0u);
}
