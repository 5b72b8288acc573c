#version 330 core

uniform vec2 iResolution;   // drawn area in framebuffer pixels
uniform float iGlobalTime;  // show time in seconds; may be negative and may jump
uniform float iBeat;        // beat pulse, 0 to 0.9; fed every frame, not read by the scene today
uniform sampler2D iFont;    // font texture on unit 0; fed every frame, not read by the scene today

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

// The walls' half-height, and so their height above the ground: they rise
// out of it over the first five seconds.
float wallHeight()
{
    return min(0.5, iGlobalTime / 10.0);
}

// The nine walls, clipped by the bounding box: (distance, material, and a
// lower bound of the distance that changes no faster than its point moves).
// The distance itself may change faster where wall 5 is the nearest: beyond
// its end its distance grows twice as fast as the way to it (up to 7). The
// bound takes the way to that end instead. Wall 2 does the same beyond its
// end, but there wall 1, which it ends on, is always nearer.
vec3 mapWallsAndBound(vec3 pos)
{
    float h = wallHeight();
    vec2 res = vec2(FAR, FAR);

    // The layout turns a running point about y before each wall, by +40,
    // -90, 0, +90, +50, +90, -90, -50 and +90 degrees, and by -40 before the
    // clip. Each wall here takes the query point turned once by the sum of
    // the turns up to it, its running angle: the same frames, rounded a
    // little differently. A z half-extent taken from the turned point itself
    // makes a wall endless along z: both ways (abs) or from z = 0 on (signed).
    vec3 q40 = pos * createRotationY(DEG_TO_RAD * 40.0);
    vec3 qMinus50 = pos * createRotationY(DEG_TO_RAD * -50.0);
    vec3 q90 = vec3(pos.z, pos.y, -pos.x);              // a quarter turn, exactly
    vec3 q130 = vec3(-qMinus50.x, pos.y, -qMinus50.z);  // -50 and a half turn
    vec3 q180 = vec3(-pos.x, pos.y, -pos.z);
    //                     box point                           half-extents                                     wall  running angle
    float wall1 = sdBox(q40,                                vec3(HALF_THICK, h, abs(q40.z)));                // 1    40
    float wall2 = sdBox(qMinus50,                           vec3(HALF_THICK, h, qMinus50.z));                // 2   -50
    float wall3 = sdBox(qMinus50 - vec3( 1.0,  0.0,  3.25), vec3(HALF_THICK, h, 2.5));                       // 3   -50
    float wall4 = sdBox(q40      - vec3( 0.95, 0.0, -3.0),  vec3(HALF_THICK, h, 2.0));                       // 4    40
    float wall5 = sdBox(q90      - vec3(-2.8,  0.0, -7.0),  vec3(HALF_THICK, h, abs(q90.z)));                // 5    90
    // Wall 5 ends at q90.z = -3.5.
    vec3 end5 = abs(q90 - vec3(-2.8, 0.0, -7.0)) - vec3(HALF_THICK, h, abs(q90.z));
    end5.z = min(end5.z, q90.z + 3.5);
    float steady5 = min(max(end5.x, max(end5.y, end5.z)), 0.0) + length(max(end5, 0.0));
    float wall6 = sdBox(q180     - vec3(-5.2,  0.0, -2.0),  vec3(HALF_THICK, h, 4.0));                       // 6   180
    float wall7 = sdBox(q90      - vec3(-1.8,  0.0, -7.0),  vec3(HALF_THICK, h, 3.0));                       // 7    90
    float wall8 = sdBox(q40      - vec3( 1.98, 0.0, -3.0),  vec3(HALF_THICK, h, 1.1));                       // 8    40
    // Wall 9 is the part of a thin box that lies inside a wider one, turned
    // 50 degrees further.
    float thin = sdBox(q130 - vec3(-2.0, 0.0, -2.88), vec3(HALF_THICK, h, 1.1));
    float wide = sdBox(q180 - vec3(-3.2, 0.0, 0.0), vec3(1.0, h, 1.5));
    float wall9 = max(thin, wide);

    res = opU(res, vec2(wall1, CROSS_MAT));
    res = opU(res, vec2(wall2, CROSS_MAT));
    res = opU(res, vec2(wall3, WALL_MAT));
    res = opU(res, vec2(wall4, WALL_MAT));
    res = opU(res, vec2(wall5, WALL_MAT));
    res = opU(res, vec2(wall6, WALL_MAT));
    res = opU(res, vec2(wall7, WALL_MAT));
    res = opU(res, vec2(wall8, WALL_MAT));
    res = opU(res, vec2(wall9, WALL_MAT));
    float steady = min(min(min(wall1, wall2), min(wall3, wall4)),
                       min(min(steady5, wall6), min(min(wall7, wall8), wall9)));

    // The clip, at running angle 90, takes the material along with the distance.
    float bounds = sdBox(q90, BOUNDS);
    return vec3(max(res.x, bounds), max(res.y, bounds), max(steady, bounds));
}

vec2 mapWalls(vec3 pos)
{
    return mapWallsAndBound(pos).xy;
}

// The scene sample at p, given the walls' there. The ground first, so that on
// equal distances the walls win. Every turn in mapWalls is about y, so the
// point's own height is the ground's distance.
vec2 withGround(vec3 p, vec2 walls)
{
    return opU(vec2(sdPlane(p), GROUND_MAT), walls);
}

vec2 map(vec3 pos)
{
    return withGround(pos, mapWalls(pos));
}

// ---------------------------------------------------------------------------
// Ray casting and shading. At most 105 map calls per ray: 64 march steps,
// 4 normal samples, 5 occlusion samples and two shadow rays of 16 steps.

const float SLAB_TOP = 1.6;         // every wall lies between the ground and this plane

const int MARCH_SAMPLES = 64;
const float MISS = -1.0;            // the march's material where it finds no surface
const float MARCH_FROM = 1.0;       // the march's stretch of the ray, before the slab cuts it
const float MARCH_TO = 20.0;
const float HIT_TOLERANCE = 0.0005; // per unit along the ray: the tolerance grows with distance

const int SHADOW_SAMPLES = 16;
const float SHADOW_FROM = 0.02;     // a shadow ray's stretch, from the surface point
const float SHADOW_TO = 2.5;
const float SHADOW_SHARPNESS = 8.0; // the ray darkens to the nearest miss over its distance, times this
const float SHADOW_STEP_MIN = 0.02; // so that a ray grazing a surface still advances
const float SHADOW_STEP_MAX = 0.10;
const float SHADOW_HIT = 0.001;     // a sample nearer than this ends the ray

const int OCCLUSION_SAMPLES = 5;
const float OCCLUSION_FIRST = 0.01; // the samples' distances along the normal: 0.01 to 0.13
const float OCCLUSION_SPAN = 0.12;
const float OCCLUSION_FALLOFF = 0.95;  // each sample weighs this much of the one before

const float NORMAL_EPSILON = 0.0005;   // how far the normal's samples lie from the point

// Most samples lie where the ground is certainly nearer than any wall. There
// map is the ground's height alone, exactly, and the samples take that
// without evaluating the walls. The walls are evaluated only where a lower
// bound of their distance does not settle it; the bound comes from the one
// mapWallsAndBound gave at the point last evaluated, from the bounding box
// and from their height.

const float WALLS_SLOPE = 1.0;      // how fast the bound of mapWallsAndBound changes at most,
                                    // as its point moves
const float UNKNOWN = -1e30;        // a walls' distance that bounds nothing
const float ROUNDING = 0.001;       // what a bound on the walls' distance leaves for the
                                    // rounding in mapWalls

// A lower bound of mapWalls(p).x, knowing the bound of mapWallsAndBound at a
// point `apart` away.
float wallsAtLeast(vec3 p, float known, float apart, float height)
{
    float fromKnown = known - WALLS_SLOPE * apart;
    float fromBox = max(abs(p.x) - BOUNDS.z, abs(p.z) - BOUNDS.x);  // seen from above
    float fromHeight = abs(p.y) - height;
    float tolerance = ROUNDING + 1e-5 * (abs(p.x) + abs(p.z));
    return max(max(fromKnown, fromBox), fromHeight) - tolerance;
}

// The march and a shadow ray both walk a ray, sampling the scene at
// ro + rd * t for a t that each sample moves on.
const int MARCH = 0;
const int SHADOW = 1;

struct Walk
{
    int kind;
    vec3 ro;
    vec3 rd;
    float t;        // where the next sample lies
    float tmax;     // the march and a shadow ray end past it
    int samples;    // taken so far
    bool done;
    float known;    // a lower bound of the walls' distance at ro + rd * tKnown
    float tKnown;
    float value;    // march: the material; shadow ray: res
};

// A walk from ro, its first sample at t, knowing a lower bound of the walls'
// distance at ro.
Walk startWalk(int kind, vec3 ro, vec3 rd, float t, float tmax, float value, float clearance)
{
    return Walk(kind, ro, rd, t, tmax, 0, false, clearance, 0.0, value);
}

int samplesOf(int kind)
{
    return kind == MARCH ? MARCH_SAMPLES : SHADOW_SAMPLES;
}

float occlusionDistance(int i)
{
    return OCCLUSION_FIRST + OCCLUSION_SPAN * float(i) / float(OCCLUSION_SAMPLES - 1);
}

// Takes the scene sample res (distance, material) at the walk's t.
void take(inout Walk w, vec2 res)
{
    float h = res.x;
    if (w.kind == MARCH) {
        if (h < HIT_TOLERANCE * w.t || w.t > w.tmax) {
            w.done = true;
        } else {
            w.t += h;
            // The material of the sample stepped from, not of the one that hit.
            w.value = res.y;
        }
    } else {
        w.value = min(w.value, SHADOW_SHARPNESS * h / w.t);
        w.t += clamp(h, SHADOW_STEP_MIN, SHADOW_STEP_MAX);
        w.done = h < SHADOW_HIT || w.t > w.tmax;
    }
    w.samples++;
}

// Whether nothing can darken a shadow ray any more: every later sample, up
// to the last, is certainly farther than res * t / SHADOW_SHARPNESS (the
// ground, and the walls by their value last known or by their tops; each of
// these bounds runs straight along the ray).
bool shadowSettled(Walk w, float tLast, float speed, float height)
{
    float res = w.value;
    float t = w.t;
    float slope = res / SHADOW_SHARPNESS;
    float ground = w.ro.y - 0.0001;
    bool groundClear = ground + (w.rd.y - slope) * t >= 0.0 && ground + (w.rd.y - slope) * tLast >= 0.0;
    float aboveWalls = w.ro.y - max(height, 0.0) - ROUNDING;
    float known0 = w.known - WALLS_SLOPE * speed * (t - w.tKnown) - slope * t - ROUNDING;
    float knownOut = t + known0 / (WALLS_SLOPE * speed + slope);  // where that bound runs out
    float topsOut = aboveWalls + (w.rd.y - slope) * clamp(knownOut, t, tLast);
    float tops0 = aboveWalls + (w.rd.y - slope) * t;
    float tops1 = aboveWalls + (w.rd.y - slope) * tLast;
    bool wallsClear = (known0 >= 0.0 && (knownOut >= tLast || (topsOut >= 0.0 && tops1 >= 0.0)))
        || (tops0 >= 0.0 && tops1 >= 0.0);
    return res <= 0.0 || (t > 0.0 && groundClear && wallsClear);
}

// Whether the sample at p may take the ground's height for the scene's
// distance, the walls being at least `walls` away.
bool groundWillDo(Walk w, vec3 p, float walls)
{
    if (p.y < walls)
        return true;
    // A shadow sample that changes neither res nor the step is as good as
    // the true one: both the ground and the walls at least `least` away.
    float least = min(p.y, walls);
    return w.kind == SHADOW && least >= SHADOW_STEP_MAX
        && SHADOW_SHARPNESS * least >= 1.00001 * w.value * w.t;
}

// Takes the walk's samples until it is done. A sample of the walls takes its
// loop's turn, and the loop goes on with the samples that need none:
// neighbouring pixels, which llvmpipe shades together in one loop, evaluate
// the walls together.
void walk(inout Walk w)
{
    int count = samplesOf(w.kind);
    float speed = length(w.rd);
    float height = wallHeight();
    // Where a shadow ray's last sample lies at most.
    float tLast = w.t + float(SHADOW_SAMPLES - 1) * SHADOW_STEP_MAX + 0.01;
    for (int round = 0; round < count && !w.done; round++) {
        while (w.samples < count) {
            if (w.kind == SHADOW && shadowSettled(w, tLast, speed, height)) {
                w.done = true;
                break;
            }
            vec3 p = w.ro + w.rd * w.t;
            float walls = wallsAtLeast(p, w.known, speed * (w.t - w.tKnown), height);
            if (!groundWillDo(w, p, walls))
                break;
            take(w, vec2(p.y, GROUND_MAT));
            if (w.done)
                break;
        }
        if (w.done || w.samples == count)
            break;

        vec3 p = w.ro + w.rd * w.t;
        vec3 walls = mapWallsAndBound(p);
        w.known = walls.z;
        w.tKnown = w.t;
        take(w, withGround(p, walls.xy));
    }
}

// Returns (distance along the ray, material), the material MISS for a miss;
// tells also how many samples it took and a lower bound of the walls'
// distance where it stopped.
vec2 castRay(vec3 ro, vec3 rd, out int samples, out float clearance)
{
    float tmin = MARCH_FROM;
    float tmax = MARCH_TO;

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

    Walk w = startWalk(MARCH, ro, rd, tmin, tmax, MISS, UNKNOWN);
    walk(w);
    samples = w.samples;
    clearance = w.known - WALLS_SLOPE * length(rd) * (w.t - w.tKnown);
    return vec2(w.t, w.t > tmax ? MISS : w.value);
}

// 1 is fully lit. clearance is a lower bound of the walls' distance at ro.
float softshadow(vec3 ro, vec3 rd, float mint, float tmax, float clearance)
{
    Walk w = startWalk(SHADOW, ro, rd, mint, tmax, 1.0, clearance);
    walk(w);
    return clamp(w.value, 0.0, 1.0);
}

// The normal's sample points: pos plus the corners of a small tetrahedron,
// each NORMAL_EPSILON from it.
const vec2 NORMAL_CORNER = vec2(1.0, -1.0) * 0.5773 * NORMAL_EPSILON;

vec3 tetrahedronCorner(int k)
{
    vec2 e = NORMAL_CORNER;
    // e.xyy, e.yyx, e.yxy, e.xxx
    return vec3(k == 0 || k == 3 ? e.x : e.y, k >= 2 ? e.x : e.y, k == 1 || k == 3 ? e.x : e.y);
}

// The field's gradient, sampled at the corners of a small tetrahedron.
// clearance is a lower bound of the walls' distance at pos.
vec3 calcNormal(vec3 pos, float clearance)
{
    float height = wallHeight();
    // The field at the four corners is their height up to the first corner
    // where the walls may be nearer; from there on it is evaluated in full.
    vec4 d = vec4(0.0);
    int first = 4;
    for (int k = 3; k >= 0; k--) {
        vec3 p = pos + tetrahedronCorner(k);
        d = vec4(k == 0 ? p.y : d.x, k == 1 ? p.y : d.y, k == 2 ? p.y : d.z, k == 3 ? p.y : d.w);
        if (!(p.y < wallsAtLeast(p, clearance, NORMAL_EPSILON, height)))
            first = k;
    }
    for (int k = first; k < 4; k++) {
        float h = map(pos + tetrahedronCorner(k)).x;
        d = vec4(k == 0 ? h : d.x, k == 1 ? h : d.y, k == 2 ? h : d.z, h);
    }
    vec2 e = NORMAL_CORNER;
    return normalize(e.xyy * d.x + e.yyx * d.y + e.yxy * d.z + e.xxx * d.w);
}

// 1 is unoccluded: surfaces nearer than the samples along the normal darken.
// clearance is a lower bound of the walls' distance at pos.
float calcAO(vec3 pos, vec3 nor, float clearance)
{
    float height = wallHeight();
    float reach = length(nor);
    float occ = 0.0;
    float weight = 1.0;
    // Each sample is its height up to the first where the walls may be
    // nearer; from there on each is evaluated in full.
    int first = OCCLUSION_SAMPLES;
    float firstWeight = 1.0;
    for (int i = 0; i < OCCLUSION_SAMPLES; i++) {
        float hr = occlusionDistance(i);
        vec3 p = nor * hr + pos;
        if (i < first && p.y < wallsAtLeast(p, clearance, reach * hr, height)) {
            occ -= (p.y - hr) * weight;
        } else if (i < first) {
            first = i;
            firstWeight = weight;
        }
        weight *= OCCLUSION_FALLOFF;
    }
    weight = firstWeight;
    for (int i = first; i < OCCLUSION_SAMPLES; i++) {
        float hr = occlusionDistance(i);
        float dd = map(nor * hr + pos).x;
        occ -= (dd - hr) * weight;
        weight *= OCCLUSION_FALLOFF;
    }
    return clamp(1.0 - 3.0 * occ, 0.0, 1.0);
}

// The same four with nothing known about the walls beforehand.
vec2 castRay(vec3 ro, vec3 rd)
{
    int samples;
    float clearance;
    return castRay(ro, rd, samples, clearance);
}

float softshadow(vec3 ro, vec3 rd, float mint, float tmax)
{
    return softshadow(ro, rd, mint, tmax, UNKNOWN);
}

vec3 calcNormal(vec3 pos)
{
    return calcNormal(pos, UNKNOWN);
}

float calcAO(vec3 pos, vec3 nor)
{
    return calcAO(pos, nor, UNKNOWN);
}

vec3 render(vec3 ro, vec3 rd)
{
    vec3 col = vec3(0.7, 0.9, 1.0) + rd.y * 0.8;  // sky
    int samples;
    float clearance;
    vec2 res = castRay(ro, rd, samples, clearance);
    float t = res.x;
    float m = res.y;
    if (m > -0.5) {  // a hit: every material is 0 or more
        vec3 pos = ro + t * rd;
        // The walls' distance at the hit, for the samples around it, where
        // the march has left one of its samples to take it.
        if (samples < MARCH_SAMPLES)
            clearance = mapWallsAndBound(pos).z;
        vec3 nor = calcNormal(pos, clearance);
        vec3 ref = reflect(rd, nor);

        // Any material value gives a colour.
        col = 0.45 + 0.35 * sin(vec3(0.05, 0.08, 0.10) * (m - 1.0));

        float occ = calcAO(pos, nor, clearance);
        vec3 lig = normalize(vec3(-0.4, 0.7, -0.6));  // towards the light
        float amb = clamp(0.5 + 0.5 * nor.y, 0.0, 1.0);
        float dif = clamp(dot(nor, lig), 0.0, 1.0);
        float bac = clamp(dot(nor, normalize(vec3(-lig.x, 0.0, -lig.z))), 0.0, 1.0) * clamp(1.0 - pos.y, 0.0, 1.0);
        float dom = smoothstep(-0.1, 0.1, ref.y);
        float fre = pow(clamp(1.0 + dot(nor, rd), 0.0, 1.0), 2.0);
        float spe = pow(clamp(dot(ref, lig), 0.0, 1.0), 16.0);

        // A shadow darkens a term that is 0 already: it need not be taken.
        if (dif > 0.0)
            dif *= softshadow(pos, lig, SHADOW_FROM, SHADOW_TO, clearance);
        if (dom > 0.0)
            dom *= softshadow(pos, ref, SHADOW_FROM, SHADOW_TO, clearance);

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

// The show time of each cut between the five shots, and of the black for good.
const float CUT_1 = 5.0;
const float CUT_2 = 10.0;
const float CUT_3 = 15.0;
const float CUT_4 = 20.0;
const float PICTURE_END = 30.0;
const float FADE = 1.0;             // seconds that a fade takes

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

// The camera of the shot at the show time. A point is moved first, then
// turned about x, then about y, so the turns swing the position too.
mat4 getCameraMatrix()
{
    float t = iGlobalTime;
    float tilt;             // about x
    float heading = 0.0;    // about y
    bool turnsAboutY = true;
    vec3 move;
    if (t < CUT_1) {        // slides and turns slowly above the scene, looking down
        tilt = -0.3;
        heading = t / 10.0;
        move = vec3(t / 2.0, 2.0, 3.0);
    } else if (t < CUT_2) { // looks along +x at the walls, closing in
        tilt = -0.3;
        heading = -1.5;
        move = vec3(0.0, 2.0, 7.0 - t / 2.0);
    } else if (t < CUT_3) { // spins about the vertical while the tilt turns
        tilt = 0.3 + t / 3.0;
        heading = -2.5 - t;
        move = vec3(0.0, 2.0, 7.0 - t / 2.0);
    } else if (t < CUT_4) { // holds its heading, turns its tilt
        tilt = t / 4.0;
        heading = -2.1;
        move = vec3(0.0, 2.0, 0.0);
    } else {                // swings up and over until it looks down from above
        tilt = max(-1.5, -0.1 - (t - CUT_4) / 5.0);
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

// Up from black after the cut `from`, down to black before the cut `to`.
float fadeBetween(float t, float from, float to)
{
    return min(smoothstep(0.0, FADE, t - from), 1.0 - smoothstep(0.0, FADE, t - (to - FADE)));
}

// The fade factor: black at every cut and for good from PICTURE_END on. The
// show opens without a fade.
float getAlpha()
{
    float t = iGlobalTime;
    if (t < CUT_1)
        return 1.0 - smoothstep(0.0, FADE, t - (CUT_1 - FADE));
    if (t < CUT_2)
        return fadeBetween(t, CUT_1, CUT_2);
    if (t < CUT_3)
        return fadeBetween(t, CUT_2, CUT_3);
    if (t < CUT_4)
        return fadeBetween(t, CUT_3, CUT_4);
    return fadeBetween(t, CUT_4, PICTURE_END);
}

// One sub-sample's colour, o its whole-pixel offset.
vec3 subSample(mat4 camera, vec2 o)
{
    // Ray starts lie on the plane z = DISTANCE, spread over -1..1 of the
    // height; the directions meet behind it in one pinhole. The direction
    // takes the pixel itself, without the offset.
    vec2 p = (-iResolution.xy + 2.0 * (gl_FragCoord.xy + o)) / iResolution.y;
    vec4 rayStart = vec4(p.x, p.y, DISTANCE, 1.0) * camera;
    vec4 rayDir = createRay(45.0, iResolution.xy, gl_FragCoord.xy) * camera;
    vec3 col = render(rayStart.xyz, rayDir.xyz);
    return pow(col, vec3(0.4545, 0.4545, 0.4545));  // gamma
}

void main()
{
    mat4 camera = getCameraMatrix();
    vec3 tot;
    if (AA == 1) {
        // No loop around a single sub-sample: llvmpipe runs the code inside
        // any loop, even one that runs once, far slower.
        tot = subSample(camera, vec2(0.0));
    } else {
        tot = vec3(0.0);
        for (int m = 0; m < AA; m++)
            for (int n = 0; n < AA; n++)
                tot += subSample(camera, vec2(float(m), float(n)));
        tot /= float(AA * AA);
    }
    result = vec4(tot, 1.0) * getAlpha();  // the fade takes alpha down too
}
