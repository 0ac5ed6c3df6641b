// Redraws the game's pictures: Quillorn's sprite sheet, the four block looks and the
// backdrop. Run by hand:  draw-pictures [folder]   (default "data").
//
// Pure white (255,255,255) is the game's transparent colour, so every empty pixel is
// painted exactly white and anything white that must show is drawn slightly off-white.
// The output is fully deterministic so that rerunning it does not churn the PNGs.

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// Colours and the palette the sprite grids are written in
// ---------------------------------------------------------------------------------------

struct Rgb {
    unsigned char r, g, b;
};

constexpr Rgb TRANSPARENT_WHITE{255, 255, 255};

Rgb Mix(Rgb a, Rgb b, float t)
{
    auto lerp = [t](int x, int y) { return static_cast<unsigned char>(std::lround(x + (y - x) * t)); };
    return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

// One character per pixel in the sprite grids below; '.' is empty (transparent).
struct PaletteEntry {
    char key;
    Rgb colour;
};

const PaletteEntry QUILLORN_PALETTE[] = {
    {'o', {34, 22, 30}},     // outline
    {'q', {120, 72, 40}},    // quills
    {'Q', {176, 118, 64}},   // quill tips, catching the light
    {'d', {86, 50, 28}},     // quills in shadow
    {'f', {246, 212, 160}},  // face
    {'F', {222, 180, 128}},  // face in shadow
    {'e', {30, 20, 40}},     // eye
    {'w', {250, 250, 250}},  // eye glint: off-white so it stays visible
    {'n', {60, 30, 36}},     // nose
    {'p', {240, 150, 140}},  // cheek
    {'s', {214, 58, 48}},    // scarf
    {'S', {160, 36, 36}},    // scarf in shadow
    {'t', {54, 150, 140}},   // tunic
    {'T', {36, 108, 104}},   // tunic in shadow, and the far sleeve
    {'b', {98, 64, 34}},     // belt
    {'y', {236, 196, 64}},   // belt buckle
    {'a', {104, 200, 186}},  // near sleeve, lighter than the tunic it crosses
    {'l', {100, 112, 190}},  // near trouser leg
    {'L', {70, 78, 140}},    // far trouser leg
    {'k', {150, 92, 52}},    // near boot
    {'K', {110, 66, 38}},    // far boot
    {'h', {246, 212, 160}},  // near hand
    {'H', {210, 168, 118}},  // far hand
};

Rgb QuillornColour(char key)
{
    for (const PaletteEntry& entry : QUILLORN_PALETTE)
        if (entry.key == key)
            return entry.colour;
    std::fprintf(stderr, "draw-pictures: no colour for '%c'\n", key);
    std::exit(1);
}

// ---------------------------------------------------------------------------------------
// A frame of the figure, kept as palette characters until it goes onto the sheet
// ---------------------------------------------------------------------------------------

constexpr int FRAME_W = 16;
constexpr int FRAME_H = 19;
constexpr char EMPTY = '.';

struct Sprite {
    std::vector<char> px = std::vector<char>(FRAME_W * FRAME_H, EMPTY);

    bool Inside(int x, int y) const { return x >= 0 && x < FRAME_W && y >= 0 && y < FRAME_H; }
    char At(int x, int y) const { return Inside(x, y) ? px[y * FRAME_W + x] : EMPTY; }
    void Set(int x, int y, char key)
    {
        if (Inside(x, y))
            px[y * FRAME_W + x] = key;
    }
};

// Rings the filled pixels with the dark outline so the figure reads against the sky.
// Only side neighbours count, which keeps the corners rounded.
void Outline(Sprite& s)
{
    const Sprite before = s;
    for (int y = 0; y < FRAME_H; ++y)
        for (int x = 0; x < FRAME_W; ++x) {
            if (before.At(x, y) != EMPTY)
                continue;
            if (before.At(x - 1, y) != EMPTY || before.At(x + 1, y) != EMPTY || before.At(x, y - 1) != EMPTY ||
                before.At(x, y + 1) != EMPTY)
                s.Set(x, y, 'o');
        }
}

void DrawGrid(Sprite& s, const char* const rows[], int rowCount, int dx, int dy)
{
    for (int y = 0; y < rowCount; ++y)
        for (int x = 0; rows[y][x] != '\0'; ++x)
            if (rows[y][x] != EMPTY)
                s.Set(x + dx, y + dy, rows[y][x]);
}

// Head and body, facing right, standing tall. Rows 13-18 belong to the legs.
const char* const QUILLORN_BODY[] = {
    // 0123456789012345
    "................",  // 0
    "......Q..Q......",  // 1
    "....QqqQqqQ.....",  // 2
    "..QQqqqqqqqqq...",  // 3
    ".Qddqqqqqfffqq..",  // 4
    "..ddqqqqffwefq..",  // 5
    ".Qddqqqqffeefffn",  // 6
    "..ddqqqqfpffffF.",  // 7
    "...ddqqqFFfFF...",  // 8
    ".....Sssssss....",  // 9
    "......Ttttt.....",  // 10
    "......Ttttt.....",  // 11
    "......bbbyb.....",  // 12
};
constexpr int BODY_ROWS = sizeof(QUILLORN_BODY) / sizeof(QUILLORN_BODY[0]);

// The scarf's loose end trails behind the neck; it flutters while walking.
void DrawScarfTail(Sprite& s, int bob, bool raised)
{
    const int y = 9 + bob;
    s.Set(4, y, 'S');
    s.Set(3, raised ? y - 1 : y, 'S');
}

// A leg is two pixels wide from the hip down to the boot, which points forward (+x).
// `footX` is where the leg's left column ends up; `lift` raises the foot off the floor.
void DrawLeg(Sprite& s, int hipX, int hipY, int footX, int lift, char trouser, char boot)
{
    const int footY = FRAME_H - 2 - lift;  // lowest filled row; the outline takes row 18
    const int rows = std::max(1, footY - hipY);
    for (int y = hipY; y <= footY; ++y) {
        const int x = hipX + static_cast<int>(std::lround(static_cast<float>(footX - hipX) * (y - hipY) / rows));
        const bool inBoot = y >= footY - 1;
        s.Set(x, y, inBoot ? boot : trouser);
        s.Set(x + 1, y, inBoot ? boot : trouser);
        if (y == footY)
            s.Set(x + 2, y, boot);
    }
}

// An arm is a one-pixel sleeve from the shoulder with the hand at its end.
void DrawArm(Sprite& s, int shoulderX, int shoulderY, int handX, int handY, char sleeve, char hand)
{
    const int steps = std::max(std::abs(handX - shoulderX), std::abs(handY - shoulderY));
    for (int i = 0; i < steps; ++i) {
        const float t = static_cast<float>(i) / steps;
        s.Set(static_cast<int>(std::lround(shoulderX + (handX - shoulderX) * t)),
              static_cast<int>(std::lround(shoulderY + (handY - shoulderY) * t)), sleeve);
    }
    s.Set(handX, handY, hand);
}

struct Point {
    int x, y;
};

// Everything that moves between frames, in frame pixels, facing right. Hands are given
// for the unmoved body; `bob` shifts the body and hands down (or up when negative).
struct Pose {
    int bob;
    Point nearFoot, farFoot;  // x of the leg's left column at the boot, and the lift
    Point nearHand, farHand;
    bool scarfUp;
};

constexpr int NEAR_HIP_X = 8, FAR_HIP_X = 6, HIP_Y = 13;
constexpr Point NEAR_SHOULDER{9, 10}, FAR_SHOULDER{7, 10};

Sprite DrawQuillorn(const Pose& p)
{
    // Back to front: far arm, far leg, body, near leg, near arm; one outline around all.
    Sprite s;
    DrawArm(s, FAR_SHOULDER.x, FAR_SHOULDER.y + p.bob, p.farHand.x, p.farHand.y + p.bob, 'T', 'H');
    DrawLeg(s, FAR_HIP_X, HIP_Y + p.bob, p.farFoot.x, p.farFoot.y, 'L', 'K');
    DrawGrid(s, QUILLORN_BODY, BODY_ROWS, 0, p.bob);
    DrawScarfTail(s, p.bob, p.scarfUp);
    DrawLeg(s, NEAR_HIP_X, HIP_Y + p.bob, p.nearFoot.x, p.nearFoot.y, 'l', 'k');
    DrawArm(s, NEAR_SHOULDER.x, NEAR_SHOULDER.y + p.bob, p.nearHand.x, p.nearHand.y + p.bob, 'a', 'h');
    Outline(s);
    return s;
}

// Column 0 of the ground rows: standing still.
const Pose STANDING = {0, {8, 0}, {6, 0}, {9, 12}, {6, 12}, false};

// Columns 1-8: one full stride, four frames per step. The weight drops a pixel on the
// two frames after each foot lands, the trailing foot kicks up behind as it passes, and
// the arms swing against the legs.
const Pose WALK[8] = {
    // bob  near foot  far foot  near hand  far hand  scarf
    {1, {10, 0}, {3, 0}, {6, 12}, {11, 12}, false},  // near foot lands ahead
    {1, {9, 0}, {3, 1}, {7, 12}, {10, 12}, true},    // weight onto it, back heel lifts
    {0, {8, 0}, {4, 2}, {9, 12}, {8, 12}, true},     // far foot kicks up as it passes
    {0, {6, 0}, {8, 1}, {11, 12}, {6, 12}, false},   // far foot swings ahead
    {1, {4, 0}, {10, 0}, {12, 12}, {4, 12}, false},  // far foot lands ahead
    {1, {4, 1}, {9, 0}, {11, 12}, {5, 12}, true},    // weight onto it, back heel lifts
    {0, {5, 2}, {7, 0}, {9, 12}, {8, 12}, true},     // near foot kicks up as it passes
    {0, {9, 1}, {5, 0}, {7, 12}, {10, 12}, false},   // near foot swings ahead
};

// Columns 0-2 of the air rows: rising fast, at the top of the arc, falling.
const Pose AIR[3] = {
    {0, {10, 3}, {7, 3}, {5, 12}, {4, 11}, true},    // legs tucked, arms swept back
    {0, {10, 1}, {5, 1}, {13, 11}, {2, 11}, true},   // legs easing out, arms level
    {0, {9, 0}, {5, 0}, {13, 9}, {1, 9}, false},     // legs dangling, arms up for balance
};

// ---------------------------------------------------------------------------------------
// Writing pixels into Allegro bitmaps
// ---------------------------------------------------------------------------------------

ALLEGRO_BITMAP* NewWhiteBitmap(int w, int h)
{
    ALLEGRO_BITMAP* bitmap = al_create_bitmap(w, h);
    if (bitmap == nullptr) {
        std::fprintf(stderr, "draw-pictures: cannot create a %dx%d bitmap\n", w, h);
        std::exit(1);
    }
    al_set_target_bitmap(bitmap);
    al_clear_to_color(al_map_rgb(TRANSPARENT_WHITE.r, TRANSPARENT_WHITE.g, TRANSPARENT_WHITE.b));
    return bitmap;
}

void Put(int x, int y, Rgb c)
{
    al_put_pixel(x, y, al_map_rgb(c.r, c.g, c.b));
}

void PutSprite(const Sprite& s, int left, int top, bool mirrored)
{
    for (int y = 0; y < FRAME_H; ++y)
        for (int x = 0; x < FRAME_W; ++x) {
            const char key = s.At(mirrored ? FRAME_W - 1 - x : x, y);
            if (key != EMPTY)
                Put(left + x, top + y, QuillornColour(key));
        }
}

void Save(ALLEGRO_BITMAP* bitmap, const std::string& path)
{
    if (!al_save_bitmap(path.c_str(), bitmap)) {
        std::fprintf(stderr, "draw-pictures: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::printf("wrote %s\n", path.c_str());
}

// ---------------------------------------------------------------------------------------
// Quillorn.png: 9 x 4 frames of 16 x 19
// ---------------------------------------------------------------------------------------

void DrawQuillornSheet(const std::string& folder)
{
    constexpr int COLUMNS = 9;
    ALLEGRO_BITMAP* sheet = NewWhiteBitmap(COLUMNS * FRAME_W, 4 * FRAME_H);
    al_lock_bitmap(sheet, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);

    // Rows 0/1 on the ground facing right/left, rows 2/3 in the air facing right/left.
    for (int column = 0; column < COLUMNS; ++column) {
        const Sprite ground = DrawQuillorn(column == 0 ? STANDING : WALK[column - 1]);
        const Sprite air = DrawQuillorn(AIR[std::min(column, 2)]);
        PutSprite(ground, column * FRAME_W, 0 * FRAME_H, false);
        PutSprite(ground, column * FRAME_W, 1 * FRAME_H, true);
        PutSprite(air, column * FRAME_W, 2 * FRAME_H, false);
        PutSprite(air, column * FRAME_W, 3 * FRAME_H, true);
    }

    al_unlock_bitmap(sheet);
    Save(sheet, folder + "/Quillorn.png");
    al_destroy_bitmap(sheet);
}

// ---------------------------------------------------------------------------------------
// Blocks.png: four 24 x 24 looks side by side, fully opaque
// ---------------------------------------------------------------------------------------

constexpr int BLOCK = 24;

// A fixed pseudo-random value in 0..255 per pixel, for speckles that never change
// between runs.
int Speckle(int x, int y, int salt)
{
    unsigned h = static_cast<unsigned>(x) * 374761393u + static_cast<unsigned>(y) * 668265263u +
                 static_cast<unsigned>(salt) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<int>((h ^ (h >> 16)) & 0xFF);
}

// Dark rim plus a lighter top-left and darker bottom-right bevel, so neighbouring blocks
// stay apart.
Rgb BlockEdge(int x, int y, Rgb rim, Rgb light, Rgb shade, Rgb inside)
{
    if (x == 0 || y == 0 || x == BLOCK - 1 || y == BLOCK - 1)
        return rim;
    if (x == 1 || y == 1)
        return light;
    if (x == BLOCK - 2 || y == BLOCK - 2)
        return shade;
    return inside;
}

Rgb GrassDirt(int x, int y)
{
    const Rgb dirt{150, 96, 52}, dirtDark{118, 72, 38}, pebble{176, 150, 120};
    const Rgb grass{86, 178, 64}, grassLight{136, 214, 92}, grassDark{52, 130, 48};
    // The grass hangs over the dirt in little tufts.
    const int grassDepth = 5 + ((x * 7) % 5 == 0 ? 2 : (x % 3 == 0 ? 1 : 0));
    Rgb inside = dirt;
    if (y < grassDepth)
        inside = y <= 2 ? grassLight : grass;
    else if (y == grassDepth)
        inside = grassDark;
    else if (Speckle(x, y, 1) < 20)
        inside = pebble;
    else if (Speckle(x, y, 2) < 60)
        inside = dirtDark;
    return BlockEdge(x, y, {60, 40, 24}, y < grassDepth ? grassLight : Mix(dirt, pebble, 0.4f),
                     y < grassDepth ? grassDark : dirtDark, inside);
}

Rgb StoneBricks(int x, int y)
{
    const Rgb mortar{96, 98, 108}, stone{156, 160, 170}, light{190, 194, 204}, dark{124, 128, 138};
    if (x == 0 || y == 0 || x == BLOCK - 1 || y == BLOCK - 1)
        return {54, 56, 64};
    // Three courses of bricks 8 pixels high, every other course shifted half a brick.
    const int course = y / 8;
    const int row = y % 8;
    const int bx = (x + (course % 2 == 1 ? 6 : 0)) % 12;
    if (row == 7 || bx == 11)
        return mortar;
    if (row == 0 || bx == 0)
        return light;
    if (row == 6 || bx == 10)
        return dark;
    return Speckle(x, y, 3) < 40 ? dark : stone;
}

Rgb WoodenCrate(int x, int y)
{
    const Rgb plank{196, 140, 76}, grain{166, 112, 56}, frame{142, 92, 44}, frameLight{178, 122, 62};
    const Rgb nail{70, 62, 60};
    if (x == 0 || y == 0 || x == BLOCK - 1 || y == BLOCK - 1)
        return {72, 44, 20};
    const bool inFrame = x <= 3 || y <= 3 || x >= BLOCK - 4 || y >= BLOCK - 4;
    if (inFrame) {
        if ((x == 2 || x == BLOCK - 3) && (y == 2 || y == BLOCK - 3))
            return nail;
        return (x == 1 || y == 1) ? frameLight : frame;
    }
    // One diagonal brace from bottom-left to top-right, edged in dark.
    const int d = x + y - (BLOCK - 1);
    if (d >= -2 && d <= 2)
        return (d == -2 || d == 2) ? Rgb{100, 62, 26} : frame;
    // Horizontal planks with a dark seam and a little grain.
    if ((y - 4) % 4 == 3)
        return grain;
    return (Speckle(x / 3, y, 4) < 50) ? Mix(plank, grain, 0.5f) : plank;
}

Rgb IceBlock(int x, int y)
{
    const Rgb ice{150, 214, 240}, iceDeep{112, 178, 222}, shine{228, 246, 252};
    Rgb inside = Mix(ice, iceDeep, static_cast<float>(y) / BLOCK);
    // Two glints running diagonally across the face.
    const int d = x - y;
    if ((d >= 6 && d <= 7) || d == 10)
        inside = shine;
    else if (Speckle(x, y, 5) < 12)
        inside = Mix(inside, shine, 0.6f);
    return BlockEdge(x, y, {40, 84, 132}, shine, iceDeep, inside);
}

void DrawBlocks(const std::string& folder)
{
    Rgb (*const looks[])(int, int) = {GrassDirt, StoneBricks, WoodenCrate, IceBlock};
    constexpr int LOOKS = sizeof(looks) / sizeof(looks[0]);

    ALLEGRO_BITMAP* blocks = NewWhiteBitmap(LOOKS * BLOCK, BLOCK);
    al_lock_bitmap(blocks, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int look = 0; look < LOOKS; ++look)
        for (int y = 0; y < BLOCK; ++y)
            for (int x = 0; x < BLOCK; ++x)
                Put(look * BLOCK + x, y, looks[look](x, y));
    al_unlock_bitmap(blocks);
    Save(blocks, folder + "/Blocks.png");
    al_destroy_bitmap(blocks);
}

// ---------------------------------------------------------------------------------------
// Background.png: sky, a low sun, clouds and two rows of hills; flat colours keep it small
// ---------------------------------------------------------------------------------------

constexpr int BACKDROP = 600;
// The game loads this picture at every start but never draws it, and turning its white
// transparent walks every pixel: a quarter-size copy keeps start-up quick.
constexpr int BACKDROP_STEP = 4;

bool InEllipse(int x, int y, int cx, int cy, int rx, int ry)
{
    const float dx = static_cast<float>(x - cx) / rx;
    const float dy = static_cast<float>(y - cy) / ry;
    return dx * dx + dy * dy <= 1.0f;
}

bool InCloud(int x, int y, int cx, int cy)
{
    return InEllipse(x, y, cx, cy, 46, 16) || InEllipse(x, y, cx - 22, cy - 8, 22, 16) ||
           InEllipse(x, y, cx + 14, cy - 14, 26, 20);
}

int HillTop(int x, float base, float height, float waves, float phase)
{
    const float t = static_cast<float>(x) / BACKDROP * 6.2831853f * waves + phase;
    return static_cast<int>(base - height * (0.6f * std::sin(t) + 0.4f * std::sin(2.3f * t + 1.0f)));
}

Rgb Backdrop(int x, int y)
{
    if (y >= HillTop(x, 520.0f, 28.0f, 1.3f, 2.0f))
        return {78, 160, 70};
    if (y >= HillTop(x, 450.0f, 40.0f, 0.9f, 0.5f))
        return {120, 196, 110};
    if (InCloud(x, y, 140, 120) || InCloud(x, y, 420, 200) || InCloud(x, y, 300, 60))
        return {246, 248, 252};
    if (InEllipse(x, y, 500, 90, 36, 36))
        return {255, 236, 150};
    // Sky in 20 bands from deep blue at the top to pale near the hills.
    const float band = static_cast<float>(y / 30) / (BACKDROP / 30 - 1);
    return Mix({60, 150, 230}, {184, 228, 250}, band);
}

void DrawBackground(const std::string& folder)
{
    constexpr int size = BACKDROP / BACKDROP_STEP;
    ALLEGRO_BITMAP* backdrop = NewWhiteBitmap(size, size);
    al_lock_bitmap(backdrop, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            Put(x, y, Backdrop(x * BACKDROP_STEP, y * BACKDROP_STEP));
    al_unlock_bitmap(backdrop);
    Save(backdrop, folder + "/Background.png");
    al_destroy_bitmap(backdrop);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : "data";

    if (!al_init() || !al_init_image_addon()) {
        std::fprintf(stderr, "draw-pictures: cannot start Allegro\n");
        return 1;
    }
    // Memory bitmaps need no display, so this runs headless.
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ABGR_8888);

    DrawQuillornSheet(folder);
    DrawBlocks(folder);
    DrawBackground(folder);
    return 0;
}
