// The programs' fixed console texts. Each Japanese text is held in both of
// its encodings side by side: CP932 (Shift_JIS) bytes, written everywhere
// except on a UTF-8 terminal, and UTF-8 bytes for such a terminal
// (consoleText in console.h chooses). The text each pair spells is given
// above it.
#ifndef ONDA_MESSAGES_H
#define ONDA_MESSAGES_H

namespace message {

struct JapaneseText {
    const char* cp932;
    const char* utf8;
};

// "パラメータが足りません" -- not enough parameters
inline constexpr JapaneseText NOT_ENOUGH_PARAMETERS = {
    "\203p\203\211\203\201\201[\203^\202\252\221\253\202\350\202\334\202\271\202\361",
    "\xE3\x83\x91\xE3\x83\xA9\xE3\x83\xA1\xE3\x83\xBC\xE3\x82\xBF\xE3\x81\x8C\xE8\xB6\xB3\xE3\x82"
    "\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93",
};

// "画像データが読めません" -- the image data cannot be read
inline constexpr JapaneseText CANNOT_READ_IMAGE = {
    "\211\346\221\234\203f\201[\203^\202\252\223\307\202\337\202\334\202\271\202\361",
    "\xE7\x94\xBB\xE5\x83\x8F\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\xE3\x81\x8C\xE8\xAA\xAD\xE3\x82"
    "\x81\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93",
};

// "順序高速 Ondeline"
inline constexpr JapaneseText FWD_PRODUCT = {
    "\217\207\217\230\215\202\221\254 Ondeline",
    "\xE9\xA0\x86\xE5\xBA\x8F\xE9\xAB\x98\xE9\x80\x9F Ondeline",
};

// "順序高速逆 Ondeline"
inline constexpr JapaneseText INV_PRODUCT = {
    "\217\207\217\230\215\202\221\254\213t Ondeline",
    "\xE9\xA0\x86\xE5\xBA\x8F\xE9\xAB\x98\xE9\x80\x9F\xE9\x80\x86 Ondeline",
};

// "Haar処理後画像の変換 " -- converting the Haar-processed image
inline constexpr JapaneseText INV_CONVERTING = {
    "Haar\217\210\227\235\214\343\211\346\221\234\202\314\225\317\212\267 ",
    "Haar\xE5\x87\xA6\xE7\x90\x86\xE5\xBE\x8C\xE7\x94\xBB\xE5\x83\x8F\xE3\x81\xAE\xE5\xA4\x89\xE6"
    "\x8F\x9B ",
};

// "分割置換順次高速 Ondeline 3"
inline constexpr JapaneseText SPLIT_PRODUCT = {
    "\225\252\212\204\222u\212\267\217\207\216\237\215\202\221\254 Ondeline 3",
    "\xE5\x88\x86\xE5\x89\xB2\xE7\xBD\xAE\xE6\x8F\x9B\xE9\xA0\x86\xE6\xAC\xA1\xE9\xAB\x98\xE9\x80"
    "\x9F Ondeline 3",
};

// "ファイル %s はカラーでもモノクロでもありません\n" -- neither colour nor monochrome
inline constexpr JapaneseText FILE_NEITHER_COLOUR_NOR_MONO = {
    "\203t\203@\203C\203\213 %s "
    "\202\315\203J\203\211\201["
    "\202\305\202\340\203\202\203m\203N\203\215\202\305\202\340\202\240\202\350\202\334\202\271\202"
    "\361\n",
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB %s "
    "\xE3\x81\xAF\xE3\x82\xAB\xE3\x83\xA9\xE3\x83\xBC\xE3\x81\xA7\xE3\x82\x82\xE3\x83\xA2\xE3\x83"
    "\x8E\xE3\x82\xAF\xE3\x83\xAD\xE3\x81\xA7\xE3\x82\x82\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3"
    "\x81\x9B\xE3\x82\x93\n",
};

// "ファイル %s はカラーです\n" -- file %s is colour
inline constexpr JapaneseText FILE_IS_COLOUR = {
    "\203t\203@\203C\203\213 %s \202\315\203J\203\211\201[\202\305\202\267\n",
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB %s "
    "\xE3\x81\xAF\xE3\x82\xAB\xE3\x83\xA9\xE3\x83\xBC\xE3\x81\xA7\xE3\x81\x99\n",
};

// "ファイル %s はモノクロです\n" -- file %s is monochrome
inline constexpr JapaneseText FILE_IS_MONO = {
    "\203t\203@\203C\203\213 %s \202\315\203\202\203m\203N\203\215\202\305\202\267\n",
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB %s "
    "\xE3\x81\xAF\xE3\x83\xA2\xE3\x83\x8E\xE3\x82\xAF\xE3\x83\xAD\xE3\x81\xA7\xE3\x81\x99\n",
};
// Every Japanese text above, for the check that each pair spells one text.
inline constexpr const JapaneseText* JAPANESE_TEXTS[] = {
    &NOT_ENOUGH_PARAMETERS,
    &CANNOT_READ_IMAGE,
    &FWD_PRODUCT,
    &INV_PRODUCT,
    &INV_CONVERTING,
    &SPLIT_PRODUCT,
    &FILE_NEITHER_COLOUR_NOR_MONO,
    &FILE_IS_COLOUR,
    &FILE_IS_MONO,
};

// What each program prints first, and its usage line.
struct ProgramBanner {
    const char* name;      // the program, as reason lines name it
    const char* title;     // first banner line
    JapaneseText product;  // second banner line
    const char* usage;     // printed under "not enough parameters"
};

inline constexpr ProgramBanner FWD_BANNER = {
    "ondafwd",
    "Wavelet Function (Ondeline) ",
    FWD_PRODUCT,
    "ondafwd <read image file name> <write image file name> <Repeat Number>",
};
inline constexpr ProgramBanner INV_BANNER = {
    "ondainv",
    "Wavelet Inv. Function (Ondeline) ",
    INV_PRODUCT,
    "ondainv <read image file name> <write image file name>  <Repeat Number>",
};
inline constexpr ProgramBanner SPLIT_BANNER = {
    "ondasplit",
    "Wavelet Function (ondasplit 3) ",
    SPLIT_PRODUCT,
    "ondasplit <read image file name> <write image file name> <Repeat Number>",
};

inline constexpr char REPEAT_NUMBER_INPUT_ERROR[] = "Repeat Number input error";
inline constexpr char MEMORY_SIZE[] = "Memory size -> %lld\n";
inline constexpr char MEMORY_CANNOT_BE_ALLOCATED[] = "Memory cannot be allocated.";
inline constexpr char MEMORY_ALLOCATED[] = "Memory has been allocated. The address is %p:%p\n";

// The third banner line of every program.
inline constexpr char MAKERS_NOTICE[] =
    "onda Haar wavelet tools - free to use, provided as is, without warranty.";

}  // namespace message

#endif
