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

// Matrices are built from columns and applied to row vectors: v * M.

// ---------------------------------------------------------------------------
// The scene: a ground plane at y = 0 and nine thin walls standing on it,
// clipped by one bounding box. A scene sample is (distance, material).

const float HALF_THICK = 0.2;       // every wall is 0.4 thick
const float FAR = 100.0;            // distance and material of "no wall near"
const float GROUND_MAT = 0.0;       // material of the ground: grey
const float CROSS_MAT = 46.9;       // material of the two walls through the origin: red-orange
const float WALL_MAT = 85.0;        // material of the other seven walls: teal blue
const vec3 BOUNDS = vec3(3.0, 3.0, 5.4);  // half-extents of the bounding box, taken after
                                          // a total turn of 90 degrees: along scene z, y, x

float sdPlane(vec3 p)
{
    return p.y;
}

float sdBox(vec3 p, vec3 b)
{
    vec3 d = abs(p) - b;
    return min(max(d.x, max(d.y, d.z)), 0.0) + length(max(d, 0.0));
}

// On equal distances the second sample wins.
vec2 opU(vec2 d1, vec2 d2)
{
    return (d1.x < d2.x) ? d1 : d2;
}

// Turns a row vector about y: (x, y, z) * M = (x cos r + z sin r, y, -x sin r + z cos r).
mat3 createRotationY(float rotation)
{
    float c = cos(rotation);
    float s = sin(rotation);
    return mat3(c, 0.0, s,
                0.0, 1.0, 0.0,
                -s, 0.0, c);
}

vec2 map(vec3 pos)
{
    // The walls rise out of the ground over the first five seconds.
    float h = min(0.5, iGlobalTime / 10.0);
    vec2 res = vec2(FAR, FAR);

    // Each wall is placed relative to the running point q, which is turned in
    // place before the wall. A z half-extent taken from q itself makes a wall
    // endless along z: both ways (abs) or from q.z = 0 on (signed).
    vec3 q = pos;
    //                        box point                    half-extents                    material     wall
    q = q * createRotationY(DEG_TO_RAD *  40.0);
    res = opU(res, vec2(sdBox(q,                           vec3(HALF_THICK, h, abs(q.z))), CROSS_MAT));  // 1
    q = q * createRotationY(DEG_TO_RAD * -90.0);
    res = opU(res, vec2(sdBox(q,                           vec3(HALF_THICK, h, q.z)),      CROSS_MAT));  // 2
    res = opU(res, vec2(sdBox(q - vec3( 1.0,  0.0,  3.25), vec3(HALF_THICK, h, 2.5)),      WALL_MAT));   // 3
    q = q * createRotationY(DEG_TO_RAD *  90.0);
    res = opU(res, vec2(sdBox(q - vec3( 0.95, 0.0, -3.0),  vec3(HALF_THICK, h, 2.0)),      WALL_MAT));   // 4
    q = q * createRotationY(DEG_TO_RAD *  50.0);
    res = opU(res, vec2(sdBox(q - vec3(-2.8,  0.0, -7.0),  vec3(HALF_THICK, h, abs(q.z))), WALL_MAT));   // 5
    q = q * createRotationY(DEG_TO_RAD *  90.0);
    res = opU(res, vec2(sdBox(q - vec3(-5.2,  0.0, -2.0),  vec3(HALF_THICK, h, 4.0)),      WALL_MAT));   // 6
    q = q * createRotationY(DEG_TO_RAD * -90.0);
    res = opU(res, vec2(sdBox(q - vec3(-1.8,  0.0, -7.0),  vec3(HALF_THICK, h, 3.0)),      WALL_MAT));   // 7
    q = q * createRotationY(DEG_TO_RAD * -50.0);
    res = opU(res, vec2(sdBox(q - vec3( 1.98, 0.0, -3.0),  vec3(HALF_THICK, h, 1.1)),      WALL_MAT));   // 8
    q = q * createRotationY(DEG_TO_RAD *  90.0);

    // Wall 9 is the part of a thin box that lies inside a wider one, turned
    // 50 degrees further; that turn does not move the running point.
    float thin = sdBox(q - vec3(-2.0, 0.0, -2.88), vec3(HALF_THICK, h, 1.1));
    float wide = sdBox(q * createRotationY(DEG_TO_RAD * 50.0) - vec3(-3.2, 0.0, 0.0), vec3(1.0, h, 1.5));
    res = opU(res, vec2(max(thin, wide), WALL_MAT));

    q = q * createRotationY(DEG_TO_RAD * -40.0);

    // The clip takes the material along with the distance.
    float bounds = sdBox(q, BOUNDS);
    vec2 clipped = vec2(max(res.x, bounds), max(res.y, bounds));

    // Every turn was about y, so q.y is the query point's own height.
    return opU(vec2(sdPlane(q), GROUND_MAT), clipped);
}

// ---------------------------------------------------------------------------
// Ray casting and shading. At most 105 map calls per ray: 64 march steps,
// 4 normal samples, 5 occlusion samples and two shadow rays of 16 steps.

const float SLAB_TOP = 1.6;         // every wall lies between the ground and this plane

// Returns (distance along the ray, material), the material -1.0 for a miss.
vec2 castRay(vec3 ro, vec3 rd)
{
    float tmin = 1.0;
    float tmax = 20.0;

    // March only where the ray is inside the slab above the ground.
    float tp1 = (0.0 - ro.y) / rd.y;
    if (tp1 > 0.0)
        tmax = min(tmax, tp1);
    float tp2 = (SLAB_TOP - ro.y) / rd.y;
    if (tp2 > 0.0) {
        if (ro.y > SLAB_TOP)
            tmin = max(tmin, tp2);
        else
            tmax = min(tmax, tp2);
    }

    float t = tmin;
    float m = -1.0;
    for (int i = 0; i < 64; i++) {
        float precis = 0.0005 * t;  // the hit tolerance grows with distance
        vec2 res = map(ro + rd * t);
        if (res.x < precis || t > tmax)
            break;
        t += res.x;
        // The material of the sample stepped from, not of the one that hit.
        m = res.y;
    }

    if (t > tmax)
        m = -1.0;
    return vec2(t, m);
}

// 1 is fully lit.
float softshadow(vec3 ro, vec3 rd, float mint, float tmax)
{
    float res = 1.0;
    float t = mint;
    for (int i = 0; i < 16; i++) {
        float h = map(ro + rd * t).x;
        res = min(res, 8.0 * h / t);
        t += clamp(h, 0.02, 0.10);
        if (h < 0.001 || t > tmax)
            break;
    }
    return clamp(res, 0.0, 1.0);
}

// The field's gradient, sampled at the corners of a small tetrahedron.
vec3 calcNormal(vec3 pos)
{
    vec2 e = vec2(1.0, -1.0) * 0.5773 * 0.0005;
    return normalize(e.xyy * map(pos + e.xyy).x +
                     e.yyx * map(pos + e.yyx).x +
                     e.yxy * map(pos + e.yxy).x +
                     e.xxx * map(pos + e.xxx).x);
}

// 1 is unoccluded: surfaces nearer than the samples along the normal darken.
float calcAO(vec3 pos, vec3 nor)
{
    float occ = 0.0;
    float sca = 1.0;
    for (int i = 0; i < 5; i++) {
        float hr = 0.01 + 0.12 * float(i) / 4.0;
        float dd = map(nor * hr + pos).x;
        occ = occ - (dd - hr) * sca;
        sca *= 0.95;
    }
    return clamp(1.0 - 3.0 * occ, 0.0, 1.0);
}

vec3 render(vec3 ro, vec3 rd)
{
    vec3 col = vec3(0.7, 0.9, 1.0) + rd.y * 0.8;  // sky
    vec2 res = castRay(ro, rd);
    float t = res.x;
    float m = res.y;
    if (m > -0.5) {
        vec3 pos = ro + t * rd;
        vec3 nor = calcNormal(pos);
        vec3 ref = reflect(rd, nor);

        // Any material value gives a colour.
        col = 0.45 + 0.35 * sin(vec3(0.05, 0.08, 0.10) * (m - 1.0));

        float occ = calcAO(pos, nor);
        vec3 lig = normalize(vec3(-0.4, 0.7, -0.6));  // towards the light
        float amb = clamp(0.5 + 0.5 * nor.y, 0.0, 1.0);
        float dif = clamp(dot(nor, lig), 0.0, 1.0);
        float bac = clamp(dot(nor, normalize(vec3(-lig.x, 0.0, -lig.z))), 0.0, 1.0) * clamp(1.0 - pos.y, 0.0, 1.0);
        float dom = smoothstep(-0.1, 0.1, ref.y);
        float fre = pow(clamp(1.0 + dot(nor, rd), 0.0, 1.0), 2.0);
        float spe = pow(clamp(dot(ref, lig), 0.0, 1.0), 16.0);

        dif *= softshadow(pos, lig, 0.02, 2.5);
        dom *= softshadow(pos, ref, 0.02, 2.5);

        //      weight  term  colour                          further factor
        vec3 lin = vec3(0.0);
        lin += 1.30 * dif * vec3(1.00, 0.80, 0.55);
        lin += 2.00 * spe * vec3(1.00, 0.90, 0.70) * dif;
        lin += 0.40 * amb * vec3(0.40, 0.60, 1.00) * occ;
        lin += 0.50 * dom * vec3(0.40, 0.60, 1.00) * occ;
        lin += 0.50 * bac * vec3(0.25, 0.25, 0.25) * occ;
        lin += 0.25 * fre * vec3(1.00, 1.00, 1.00) * occ;
        col = col * lin;

        col = mix(col, vec3(0.8, 0.9, 1.0), 1.0 - exp(-0.0002 * t * t * t));  // fog
    }
    return clamp(col, 0.0, 1.0);
}

// ---------------------------------------------------------------------------
// Camera path, primary rays and fades.

mat4 createRotation4X(float rotation)
{
    float c = cos(rotation);
    float s = sin(rotation);
    return mat4(1.0, 0.0, 0.0, 0.0,
                0.0, c, -s, 0.0,
                0.0, s, c, 0.0,
                0.0, 0.0, 0.0, 1.0);
}

mat4 createRotation4Y(float rotation)
{
    float c = cos(rotation);
    float s = sin(rotation);
    return mat4(c, 0.0, s, 0.0,
                0.0, 1.0, 0.0, 0.0,
                -s, 0.0, c, 0.0,
                0.0, 0.0, 0.0, 1.0);
}

// Five shots, cut at show times 5, 10, 15 and 20. A point is moved first,
// then turned about x, then about y, so the turns swing the position too.
mat4 getCameraMatrix()
{
    float t = iGlobalTime;
    float tilt;             // about x
    float heading = 0.0;    // about y
    bool turnsAboutY = true;
    vec3 move;
    if (t < 5.0) {          // slides and turns slowly above the scene, looking down
        tilt = -0.3;
        heading = t / 10.0;
        move = vec3(t / 2.0, 2.0, 3.0);
    } else if (t < 10.0) {  // looks along +x at the walls, closing in
        tilt = -0.3;
        heading = -1.5;
        move = vec3(0.0, 2.0, 7.0 - t / 2.0);
    } else if (t < 15.0) {  // spins about the vertical while the tilt turns
        tilt = 0.3 + t / 3.0;
        heading = -2.5 - t;
        move = vec3(0.0, 2.0, 7.0 - t / 2.0);
    } else if (t < 20.0) {  // holds its heading, turns its tilt
        tilt = t / 4.0;
        heading = -2.1;
        move = vec3(0.0, 2.0, 0.0);
    } else {                // swings up and over until it looks down from above
        tilt = max(-1.5, -0.1 - (t - 20.0) / 5.0);
        turnsAboutY = false;
        move = vec3(0.0, 1.0, 4.0);
    }

    // The translation sits in the fourth component of the first three
    // columns: it moves points (w = 1) and leaves directions (w = 0) alone.
    mat4 trans = mat4(1.0, 0.0, 0.0, move.x,
                      0.0, 1.0, 0.0, move.y,
                      0.0, 0.0, 1.0, move.z,
                      0.0, 0.0, 0.0, 1.0);
    mat4 rotX = createRotation4X(tilt);
    if (turnsAboutY)
        return trans * rotX * createRotation4Y(heading);
    return trans * rotX;
}

// The camera-space direction through pixel position pos: looking along -z,
// fov degrees over the height of size.
vec4 createRay(float fov, vec2 size, vec2 pos)
{
    vec2 xy = pos - size * 0.5;
    float cot_half_fov = tan((90.0 - fov * 0.5) * DEG_TO_RAD);
    float z = size.y * 0.5 * cot_half_fov;
    return vec4(normalize(vec3(xy.x, xy.y, -z)), 0.0);
}

// One-second fades, down to black at every cut and for good at 30.
float getAlpha()
{
    float t = iGlobalTime;
    if (t < 5.0)
        return 1.0 - smoothstep(0.0, 1.0, t - 4.0);
    if (t < 7.0)
        return smoothstep(0.0, 1.0, t - 5.0);
    if (t < 10.0)
        return 1.0 - smoothstep(0.0, 1.0, t - 9.0);
    if (t < 13.0)
        return smoothstep(0.0, 1.0, t - 10.0);
    if (t < 15.0)
        return 1.0 - smoothstep(0.0, 1.0, t - 14.0);
    if (t < 17.0)
        return smoothstep(0.0, 1.0, t - 15.0);
    if (t < 20.0)
        return 1.0 - smoothstep(0.0, 1.0, t - 19.0);
    if (t < 23.0)
        return smoothstep(0.0, 1.0, t - 20.0);
    if (t < 30.0)
        return 1.0 - smoothstep(0.0, 1.0, t - 29.0);
    return 0.0;
}

void main()
{
    mat4 camera = getCameraMatrix();
    vec3 tot = vec3(0.0);
    for (int m = 0; m < AA; m++) {
        for (int n = 0; n < AA; n++) {
            vec2 o = vec2(float(m), float(n));
            // Ray starts lie on the plane z = DISTANCE, spread over -1..1 of
            // the height; the directions meet behind it in one pinhole. The
            // direction takes the pixel itself, without the offset.
            vec2 p = (-iResolution.xy + 2.0 * (gl_FragCoord.xy + o)) / iResolution.y;
            vec4 rayStart = vec4(p.x, p.y, DISTANCE, 1.0) * camera;
            vec4 rayDir = createRay(45.0, iResolution.xy, gl_FragCoord.xy) * camera;
            vec3 col = render(rayStart.xyz, rayDir.xyz);
            col = pow(col, vec3(0.4545, 0.4545, 0.4545));  // gamma
            tot += col;
        }
    }
    tot /= float(AA * AA);
    result = vec4(tot, 1.0) * getAlpha();  // the fade takes alpha down too
}
