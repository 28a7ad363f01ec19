// Composes each screen from the generated pictures at the places the game draws them.
#include "ArtPreview.h"

#include <allegro.h>

#include <cstdio>
#include <map>
#include <string>

#include "Art.h"

namespace {
class Sheets {
 public:
  explicit Sheets(const std::string& folder) : folder_(folder) {}
  ~Sheets() {
    for (auto& [name, bmp] : loaded_)
      if (bmp) destroy_bitmap(bmp);
  }
  BITMAP* operator[](const std::string& name) {
    auto found = loaded_.find(name);
    if (found != loaded_.end()) return found->second;
    BITMAP* bmp = load_bitmap((folder_ + "/" + name).c_str(), nullptr);
    if (!bmp) {
      std::fprintf(stderr, "zeph-assetgen: preview cannot read %s\n", name.c_str());
      ok = false;
    }
    return loaded_[name] = bmp;
  }
  bool ok = true;

 private:
  std::string folder_;
  std::map<std::string, BITMAP*> loaded_;
};

void masked(BITMAP* src, BITMAP* dst, int sx, int sy, int x, int y, int w, int h) {
  if (src) masked_blit(src, dst, sx, sy, x, y, w, h);
}
void whole(BITMAP* src, BITMAP* dst, int x, int y) {
  if (src) masked_blit(src, dst, 0, 0, x, y, src->w, src->h);
}
void centred(BITMAP* src, BITMAP* dst, int y) {
  if (src) whole(src, dst, (320 - src->w) / 2, y < 0 ? (240 - src->h) / 2 : y);
}

// The game's translucent blit on 24-bit pixels: channel += ((src - dst) * factor) >> 8.
void blendFrame(BITMAP* src, BITMAP* dst, int frameWidth, int frame, int x, int y, int factor) {
  if (!src) return;
  for (int r = 0; r < src->h; ++r)
    for (int k = 0; k < frameWidth; ++k) {
      int tx = x + k, ty = y + r;
      if (tx < 0 || ty < 0 || tx >= dst->w || ty >= dst->h) continue;
      Rgb s = get(src, frame * frameWidth + k, r);
      if (s == pal::kKey) continue;
      Rgb d = get(dst, tx, ty);
      auto ch = [factor](int sv, int dv) { return dv + (((sv - dv) * factor) >> 8); };
      put(dst, tx, ty, {ch(s.r, d.r), ch(s.g, d.g), ch(s.b, d.b)});
    }
}

void drawNumber(Sheets& art, BITMAP* dst, unsigned value, int x, int y) {
  std::string text = std::to_string(value);
  for (size_t i = 0; i < text.size(); ++i) {
    int d = text[i] - '0';
    masked(art["leveln.bmp"], dst, d == 0 ? 320 : 32 * (d - 1), 0, x + 24 * static_cast<int>(i), y,
           32, 32);
  }
}

void shadowText(BITMAP* dst, const char* text, int x, int y) {
  textout_ex(dst, font, text, x, y, makecol24(0, 0, 0), -1);
  textout_ex(dst, font, text, x + 2, y - 2, makecol24(255, 255, 255), -1);
}

struct GameScene {
  int mode;  // 0 Collect, 1 Score, 2 TimeAttack
  int column, color, beam;
  int board[7][5];
  int bin[4][5];
  unsigned score, secondsLeft;
  int level, lives, combo;
  const char* endPicture;
};

// The main menu with the cursor on one item and the logo at one strength of its pulse.
void drawMenuScene(Sheets& art, BITMAP* dst, int cursor, int logoFactor) {
  blit(art["BG.bmp"], dst, 0, 0, 0, 0, 320, 240);
  centred(art["kvelmar.bmp"], dst, 208);
  BITMAP* logo = art["Logo.bmp"];
  if (logo) blendFrame(logo, dst, logo->w, 0, 163, 116, logoFactor);
  BITMAP* menu = art["menu.bmp"];
  for (int j = 0; menu && j < 5; ++j)
    masked(menu, dst, j == cursor ? 0 : menu->w / 2, 32 * j, 16, 16 + 32 * j, menu->w / 2, 32);
  shadowText(dst, "v1.1", 285, 5);
}

void drawGameScene(Sheets& art, BITMAP* dst, const GameScene& g) {
  blit(art["playfield.bmp"], dst, 0, 0, 0, 0, 320, 240);
  if (g.beam > 160)
    blendFrame(art["flash.bmp"], dst, 32, 4, 32 * g.column, 0, g.beam);
  else
    blendFrame(art["flash.bmp"], dst, 32, g.color, 32 * g.column, 0, 160);
  masked(art["blocks.bmp"], dst, 32, 32 * g.color, 32 * g.column, 206, 32, 32);
  for (int r = 0; r < 7; ++r)
    for (int n = 0; n < 5; ++n)
      if (g.board[r][n] >= 0)
        masked(art["blocks.bmp"], dst, 0, 32 * g.board[r][n], 32 * n, 32 * r, 32, 32);
  if (g.mode == 0)
    for (int r = 0; r < 4; ++r)
      for (int n = 0; n < 5; ++n)
        if (g.bin[r][n] >= 0)
          masked(art["blocks.bmp"], dst, 0, 32 * g.bin[r][n], 160 + 32 * n, 32 + 32 * r, 32, 32);
  if (g.mode == 1) drawNumber(art, dst, g.score, 176, 80);
  if (g.mode == 2) {
    drawNumber(art, dst, g.secondsLeft, 208, 48);
    drawNumber(art, dst, g.score, 208, 112);
  }
  whole(art["level.bmp"], dst, 162, 3);
  masked(art["leveln.bmp"], dst, 32 * g.level, 0, 274, 3, 32, 32);
  if (g.mode != 2) {
    for (int i = 0; i < g.lives && i < 4; ++i) whole(art["Life.bmp"], dst, 169 + 32 * i, 196);
    if (g.combo >= 2) {
      whole(art["combo.bmp"], dst, 163, 162);
      masked(art["leveln.bmp"], dst, 32 * (g.combo >= 10 ? 9 : g.combo - 1), 0, 274, 162, 32, 32);
    }
  }
  if (g.endPicture) centred(art[g.endPicture], dst, -1);
}

GameScene sampleGame(int mode) {
  GameScene g{};
  g.mode = mode;
  for (auto& row : g.board)
    for (int& cell : row) cell = -1;
  for (auto& row : g.bin)
    for (int& cell : row) cell = -1;
  Lcg rng(static_cast<uint32_t>(40 + mode));
  int rows = mode == 2 ? 6 : 4;
  for (int r = 0; r < rows; ++r)
    for (int n = 0; n < 5; ++n) g.board[r][n] = rng.below(4);
  g.board[rows - 1][1] = -1;
  g.board[rows - 1][3] = -1;
  for (int k = 0; k < 13; ++k) g.bin[3 - k / 5][k % 5] = rng.below(4);
  g.column = 2;
  g.color = g.board[rows - 1][2];
  g.beam = 160;
  return g;
}

struct Preview {
  const char* name;
  void (*draw)(Sheets&, BITMAP*);
};

const Preview kPreviews[] = {
    {"preview-game-collect.bmp",
     [](Sheets& art, BITMAP* dst) {
       GameScene g = sampleGame(0);
       g.level = 3, g.lives = 3, g.combo = 4;
       drawGameScene(art, dst, g);
     }},
    {"preview-game-score.bmp",
     [](Sheets& art, BITMAP* dst) {
       GameScene g = sampleGame(1);
       g.beam = 245, g.column = 0, g.score = 123456, g.level = 9, g.lives = 5, g.combo = 12;
       drawGameScene(art, dst, g);
     }},
    {"preview-game-timeattack.bmp",
     [](Sheets& art, BITMAP* dst) {
       GameScene g = sampleGame(2);
       g.column = 4, g.color = 3, g.secondsLeft = 58, g.score = 1050, g.level = 0;
       drawGameScene(art, dst, g);
     }},
    {"preview-game-ready.bmp",
     [](Sheets& art, BITMAP* dst) {
       blit(art["playfield.bmp"], dst, 0, 0, 0, 0, 320, 240);
       centred(art["ready.bmp"], dst, 60);
     }},
    {"preview-game-go.bmp",
     [](Sheets& art, BITMAP* dst) {
       blit(art["playfield.bmp"], dst, 0, 0, 0, 0, 320, 240);
       centred(art["go.bmp"], dst, 60);
     }},
    {"preview-game-over.bmp",
     [](Sheets& art, BITMAP* dst) {
       GameScene g = sampleGame(0);
       g.level = 1, g.lives = 0, g.endPicture = "gameover.bmp";
       drawGameScene(art, dst, g);
     }},
    {"preview-game-superplayer.bmp",
     [](Sheets& art, BITMAP* dst) {
       GameScene g = sampleGame(0);
       g.level = 9, g.lives = 2, g.combo = 3, g.endPicture = "superplayer.bmp";
       drawGameScene(art, dst, g);
     }},
    {"preview-menu.bmp", [](Sheets& art, BITMAP* dst) { drawMenuScene(art, dst, 2, 255); }},
    {"preview-menu-dim.bmp", [](Sheets& art, BITMAP* dst) { drawMenuScene(art, dst, 0, 90); }},
    {"preview-options.bmp",
     [](Sheets& art, BITMAP* dst) {
       blit(art["BG.bmp"], dst, 0, 0, 0, 0, 320, 240);
       BITMAP* loader = art["LOADER.BMP"];
       if (loader) {
         int w = loader->w;
         masked(loader, dst, 0, 64, (320 - w) / 2, 35, w, 32);
         masked(loader, dst, 0, 0, (320 - w / 2) / 2, 100, w / 2, 32);
         masked(loader, dst, w / 2, 32, (320 - w / 2) / 2, 132, w / 2, 32);
       }
       BITMAP* pad = art["GAMEPAD.BMP"];
       if (pad) {
         masked(pad, dst, 0, 0, 5, 206, pad->w, 32);
         masked(pad, dst, 0, 32, 101, 206, pad->w, 32);
       }
       shadowText(dst, "Enable gamepad", 5, 5);
       shadowText(dst, "Disable music", 5, 15);
     }},
    {"preview-options-off.bmp",
     [](Sheets& art, BITMAP* dst) {
       blit(art["BG.bmp"], dst, 0, 0, 0, 0, 320, 240);
       BITMAP* loader = art["LOADER.BMP"];
       if (loader) {
         int w = loader->w;
         masked(loader, dst, 0, 64, (320 - w) / 2, 35, w, 32);
         masked(loader, dst, w / 2, 0, (320 - w / 2) / 2, 100, w / 2, 32);
         masked(loader, dst, 0, 32, (320 - w / 2) / 2, 132, w / 2, 32);
       }
       BITMAP* pad = art["GAMEPAD.BMP"];
       if (pad) {
         masked(pad, dst, 0, 0, 5, 206, pad->w, 32);
         masked(pad, dst, 0, 64, 101, 206, pad->w, 32);
       }
     }},
    {"preview-highscores.bmp",
     [](Sheets& art, BITMAP* dst) {
       blit(art["BG.bmp"], dst, 0, 0, 0, 0, 320, 240);
       BITMAP* menu = art["menu.bmp"];
       if (menu) {
         masked(menu, dst, 0, 96, 16, 16, menu->w / 2, 32);
         masked(menu, dst, 0, 32, 16, 48, menu->w / 2, 32);
       }
       BITMAP* flip = art["pageflip.bmp"];
       if (flip) {
         int pw = flip->w, ph = flip->h;
         masked(flip, dst, 0, 0, 5, 240 - ph, pw / 2, ph);
         masked(flip, dst, pw / 2, 0, 315 - pw / 2, 240 - ph, pw / 2, ph);
       }
       const int letters[3][3] = {{26, 5, 16}, {0, 0, 0}, {1, 2, 25}};
       const unsigned scores[3] = {1234567, 50000, 120};
       for (int r = 0; r < 3; ++r) {
         int y = 96 + 32 * r;
         masked(art["leveln.bmp"], dst, 32 * r, 0, 32, y, 32, 32);
         masked(art["alpha.bmp"], dst, 0, 0, 64, y, 32, 32);
         for (int k = 0; k < 3; ++k)
           masked(art["alpha.bmp"], dst, 32 * letters[r][k], 32, 96 + 24 * k, y, 32, 32);
         drawNumber(art, dst, scores[r], 184, y);
       }
     }},
    {"preview-initials.bmp",
     [](Sheets& art, BITMAP* dst) {
       blit(art["BG.bmp"], dst, 0, 0, 0, 0, 320, 240);
       BITMAP* title = art["highscore.bmp"];
       if (title) {
         masked(title, dst, 0, 0, (320 - title->w) / 2, 20, title->w, 32);
         masked(title, dst, 0, 32, 101, 66, title->w, 32);
       }
       masked(art["leveln.bmp"], dst, 32 * 1, 0, 192, 66, 32, 32);
       const int entered[2] = {26, 5};
       for (int k = 0; k < 2; ++k)
         masked(art["alpha.bmp"], dst, 32 * entered[k], 0, 112 + 32 * k, 112, 32, 32);
       int cursor = 16;
       for (int d = -4; d <= 4; ++d) {
         int i = cursor + d;
         if (i < 0 || i > 26) continue;
         masked(art["alpha.bmp"], dst, 32 * i, d == 0 ? 0 : 32, 144 + 32 * d, 160, 32, 32);
       }
     }},
    {"preview-sheets.bmp",
     [](Sheets& art, BITMAP* dst) {
       clear_to_color(dst, makecol24(60, 60, 60));
       int y = 0;
       for (const char* name : {"alpha.bmp", "leveln.bmp"}) {
         BITMAP* b = art[name];
         if (!b) continue;
         blit(b, dst, 0, 0, 0, y, 320, b->h);
         y += b->h;
       }
       blit(art["alpha.bmp"], dst, 320, 0, 0, y, 320, 64);
       y += 64;
       blit(art["blocks.bmp"], dst, 0, 0, 0, y, 64, 128);
       blit(art["flash.bmp"], dst, 0, 150, 70, y, 160, 90);
       blit(art["Life.bmp"], dst, 0, 0, 240, y, 32, 32);
       blit(art["pageflip.bmp"], dst, 0, 0, 240, y + 40, 64, 32);
     }},
};
}  // namespace

bool writeArtPreviews(const std::string& folder) {
  if (!startArtAllegro()) return false;
  set_color_depth(24);
  Sheets art(folder);
  BITMAP* frame = create_bitmap_ex(24, 320, 240);
  if (!frame) return false;
  bool ok = true;
  for (const Preview& preview : kPreviews) {
    clear_to_color(frame, makecol24(0, 0, 0));
    preview.draw(art, frame);
    std::string path = folder + "/" + preview.name;
    if (save_bitmap(path.c_str(), frame, nullptr) != 0) ok = false;
  }
  destroy_bitmap(frame);
  return ok && art.ok;
}
