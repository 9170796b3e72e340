// Everything the tests share, one header a job: BMP bytes, pictures in
// memory, files and scratch folders, running a program, the programs and
// their texts, the reference transforms, and the sweeps on plain buffers.
#ifndef ONDA_TEST_SUPPORT_H
#define ONDA_TEST_SUPPORT_H

#include "bmp_bytes.h"
#include "pictures.h"
#include "programs.h"
#include "reference_transforms.h"
#include "run_program.h"
#include "scratch_files.h"
#include "sweeps.h"
#include "tool.h"

#endif
