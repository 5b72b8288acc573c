#version 330 core
// One triangle that covers the whole viewport, made from the vertex number
// alone: (-1, -1), (3, -1), (-1, 3).
void main()
{
    vec2 corner = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
