// The programs' fixed console texts. The Japanese ones are CP932 (Shift_JIS)
// bytes; the text each one spells is given beside it.
#ifndef ONDA_MESSAGES_H
#define ONDA_MESSAGES_H

namespace message {

// "パラメータが足りません" -- not enough parameters
inline constexpr char NOT_ENOUGH_PARAMETERS[] =
    "\203p\203\211\203\201\201[\203^\202\252\221\253\202\350\202\334\202\271\202\361";

// "画像データが読めません" -- the image data cannot be read
inline constexpr char CANNOT_READ_IMAGE[] =
    "\211\346\221\234\203f\201[\203^\202\252\223\307\202\337\202\334\202\271\202\361";

// "順序高速 Ondeline"
inline constexpr char FWD_PRODUCT[] = "\217\207\217\230\215\202\221\254 Ondeline";

// "順序高速逆 Ondeline"
inline constexpr char INV_PRODUCT[] = "\217\207\217\230\215\202\221\254\213t Ondeline";

// "Haar処理後画像の変換 " -- converting the Haar-processed image
inline constexpr char INV_CONVERTING[] =
    "Haar\217\210\227\235\214\343\211\346\221\234\202\314\225\317\212\267 ";

// "分割置換順次高速 Ondeline 3"
inline constexpr char SPLIT_PRODUCT[] =
    "\225\252\212\204\222u\212\267\217\207\216\237\215\202\221\254 Ondeline 3";

// "ファイル %s はカラーでもモノクロでもありません\n" -- neither colour nor monochrome
inline constexpr char FILE_NEITHER_COLOUR_NOR_MONO[] =
    "\203t\203@\203C\203\213 %s \202\315\203J\203\211\201[\202\305\202\340\203\202\203m"
    "\203N\203\215\202\305\202\340\202\240\202\350\202\334\202\271\202\361\n";

// "ファイル %s はカラーです\n" -- file %s is colour
inline constexpr char FILE_IS_COLOUR[] =
    "\203t\203@\203C\203\213 %s \202\315\203J\203\211\201[\202\305\202\267\n";

// "ファイル %s はモノクロです\n" -- file %s is monochrome
inline constexpr char FILE_IS_MONO[] =
    "\203t\203@\203C\203\213 %s \202\315\203\202\203m\203N\203\215\202\305\202\267\n";

inline constexpr char MEMORY_SIZE[] = "Memory size -> %lld\n";
inline constexpr char MEMORY_CANNOT_BE_ALLOCATED[] = "Memory cannot be allocated.";
inline constexpr char MEMORY_ALLOCATED[] = "Memory has been allocated. The address is %p:%p\n";

// The third banner line of every program.
inline constexpr char MAKERS_NOTICE[] =
    "onda Haar wavelet tools - free to use, provided as is, without warranty.";

}  // namespace message

#endif
