// Writes one small valid input of every kind into the seed corpus folders
// under the given directory: announcement, picture, jpeg, pcx, loader and
// page_operations (key line, text line, then the page).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "extras/tests/samples.h"

namespace {

namespace fs = std::filesystem;
using namespace brevane::samples;

void Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_make_seeds DIRECTORY\n";
    return 2;
  }
  const fs::path root = argv[1];
  Write(root / "announcement", "page.txt",
        "<p>\xE5\x9B\xBE\xE7\x89\x87\xE7\xBD\x91\xE5\x9D\x80http://img.example/b.gif-</p>"
        "<p>\xE7\x82\xB9\xE5\x87\xBB\xE5\x9C\xB0\xE5\x9D\x80http://click.example/-</p>");
  Write(root / "announcement", "four-byte.txt",
        "\xF0\x9F\x98\x80\xE7\x82\xB9\xE5\x87\xBB\xE5\x9C\xB0\xE5\x9D\x80x-y");

  const std::string jpeg = Jpeg(24, 16, {10, 200, 30});
  const std::string progressive = Jpeg(24, 16, {10, 200, 30}, true);
  const std::string pcx8 = Pcx8(21, 5, {1, 2, 3});
  const std::string pcx1 = Pcx1(21, 5);
  Write(root / "jpeg", "baseline.jpg", jpeg);
  Write(root / "jpeg", "progressive.jpg", progressive);
  Write(root / "pcx", "8bit.pcx", pcx8);
  Write(root / "pcx", "1bit.pcx", pcx1);
  Write(root / "picture", "baseline.jpg", jpeg);
  Write(root / "picture", "8bit.pcx", pcx8);
  Write(root / "picture", "1bit.pcx", pcx1);
  Write(root / "picture", "anim.gif", Gif(6, 4, {{255, 0, 0}, {0, 255, 0}}, 10));
  Write(root / "picture", "still.gif", Gif(3, 3, {{1, 2, 3}}, 0));
  Write(root / "picture", "b.bmp", Bitmap(5, 3, {1, 2, 3}));
  Write(root / "picture", "i.ico", Icon(8, 8, {1, 2, 3}, 1));
  Write(root / "picture", "c.cur", Icon(8, 8, {1, 2, 3}, 2));

  PeRecipe recipe;
  recipe.exports = {"SkinH_AttachRes", "SkinH_AdjustHSV"};
  recipe.imports = {{"kernel32.dll", {"GetProcessHeap"}, {7}}, {"user32.dll", {"SetWindowLongA"}, {}}};
  Write(root / "loader", "skin32.dll", Pe(recipe).bytes);
  recipe.is64 = true;
  recipe.image_base = 0x180000000ull;
  Write(root / "loader", "skin64.dll", Pe(recipe).bytes);

  Write(root / "page_operations", "form.txt",
        "name==title\nhello\n<title>Thread</title><form action=post.php method=post>"
        "<input name=title><textarea name=body></textarea><input type=submit value=ok></form>");
  Write(root / "page_operations", "tables.txt",
        "1\n<b>x</b>\n<table id=t><tr><td>a<table><tr><td>b</table></table><table></table>");
  Write(root / "page_operations", "frame.txt",
        "id==e\ntext\n<title>Editor</title><body id=e contenteditable=true>old"
        "<iframe src=f></iframe><button id=e>go</button></body>");
  return 0;
}
