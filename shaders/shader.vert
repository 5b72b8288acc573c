#version 330 core

// The full-screen quad arrives in clip space already.
in vec2 vertex;

void main()
{
    gl_Position = vec4(vertex.x, vertex.y, 0.0, 1.0);
}
