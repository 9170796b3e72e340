// What the web page calls: the three programs' transforms on one picture in
// memory, the BMP files they would write, and the pixels to draw.
//
// The page holds one OndaWeb. A picture comes in as the bytes of a BMP file,
// read by the programs' own reader, or as the RGBA pixels the browser decoded
// from any other format. Then onda_run makes what ondafwd, ondainv (on
// ondafwd's result) and ondasplit would write for it, and onda_save gives each
// as the bytes of that file. Every function gives an integer status (0 done,
// 1 refused) and leaves the reason, where there is one, in onda_message.
// The names have C linkage so that the page finds them in the module.
#ifndef ONDA_WEB_H
#define ONDA_WEB_H

#include <cstddef>

struct OndaWeb;

// The pictures the page takes: at most this many pixels, and no side longer.
constexpr long long ONDA_WEB_MOST_PIXELS = 4096LL * 4096LL;
constexpr int ONDA_WEB_MOST_SIDE = 16384;

// Which picture onda_rgba and onda_save give.
constexpr int ONDA_WEB_INPUT = 0;
constexpr int ONDA_WEB_FORWARD = 1;  // ondafwd IN OUT levels
constexpr int ONDA_WEB_INVERSE = 2;  // ondainv on that, same levels
constexpr int ONDA_WEB_SPLIT = 3;    // ondasplit IN OUT repeat

constexpr int ONDA_WEB_DONE = 0;
constexpr int ONDA_WEB_REFUSED = 1;

extern "C" {

// A new page state without a picture; null when there is no memory.
OndaWeb* onda_create();
void onda_destroy(OndaWeb* web);

// Reads a BMP file from its bytes, as the programs read a file: on a refusal
// the message is the reason the programs give, and the earlier picture stays.
// A picture beyond the page's limit is refused too. An 8-bit picture whose
// palette has colours is taken, with the programs' note in the message.
int onda_read_bmp(OndaWeb* web, const unsigned char* bytes, int size);

// Takes width x height pixels of 4 bytes, red, green, blue, alpha, rows
// top-down, as the browser decodes them: each pixel composited on white by
// its alpha, the picture grey (8 bits) when every pixel's three channels are
// equal, else colour (24 bits). The message says when some pixel was not
// opaque.
int onda_take_rgba(OndaWeb* web, const unsigned char* rgba, int width, int height);

// Whether the page takes a picture of width x height: refused, with the
// reason, beyond its limit.
int onda_check_size(OndaWeb* web, int width, int height);

// The picture's width, height and bits per pixel: 0 without a picture.
int onda_width(const OndaWeb* web);
int onda_height(const OndaWeb* web);
int onda_depth(const OndaWeb* web);

// The most levels the picture's size takes as it is: how often 2 divides
// both sides (0 when one is odd).
int onda_most_levels(const OndaWeb* web);

// Crops the picture to its top-left part that `levels` levels halve, as the
// programs' advice does; refused when a side is shorter than 2^levels.
int onda_crop(OndaWeb* web, int levels);

// Makes the three results: ondafwd and ondainv at `levels`, ondasplit at
// `splitRepeat` (1 or 2). Refused with ondafwd's or ondasplit's size reason
// when the size does not take them.
int onda_run(OndaWeb* web, int levels, int splitRepeat);

// The largest difference, over every pixel and channel, between the
// rebuilt picture and the picture: -1 before a run.
int onda_largest_difference(const OndaWeb* web);

// The pixels of one picture as RGBA, rows top-down, alpha 255: null when it
// has not been made. The block stays until the next call that changes the
// state.
const unsigned char* onda_rgba(OndaWeb* web, int which);

// The bytes of the BMP file the program writes for one result (or that the
// writer makes of the picture): null when it has not been made, or the
// write failed (the message says why). onda_saved_size gives their count.
const unsigned char* onda_save(OndaWeb* web, int which);
int onda_saved_size(const OndaWeb* web);

// The reason of the last refusal, or else the note of the last picture taken.
const char* onda_message(const OndaWeb* web);

}  // extern "C"

#endif
