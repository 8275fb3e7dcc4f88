#ifdef GL_ES
// Set default precision to medium
precision mediump int;
precision mediump float;
#endif

uniform mat4 mvp_matrix;

attribute vec4 a_position;
attribute vec2 a_texcoord;

varying vec2 v_texcoord;

void main()
{
    // Position of the vertex in screen space
    gl_Position = mvp_matrix * a_position;

    // The texture coordinate goes to the fragment shader, interpolated across the face
    v_texcoord = a_texcoord;
}
