#version 330 core
// The average light of each pixel back to the picture's 8-bit values: the
// value whose rounding span holds it. Opaque, since the fade is in the colour.

uniform usampler2D sums;
uniform uint samples;        // how many scene pixels each sum holds
uniform uint lowest[256];    // the least light that rounds to each value; lowest[0] = 0

out vec4 colour;

// The largest value v with sum / samples >= lowest[v], by halving the span.
float value(uint sum)
{
    uint v = 0u;
    for (uint step = 128u; step > 0u; step >>= 1u) {
        if (sum >= samples * lowest[v + step])
            v += step;
    }
    return float(v);
}

void main()
{
    uvec3 sum = texelFetch(sums, ivec2(gl_FragCoord.xy), 0).rgb;
    colour = vec4(value(sum.r), value(sum.g), value(sum.b), 255.0) / 255.0;
}
