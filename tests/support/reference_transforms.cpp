#include "reference_transforms.h"

#include <utility>

#include "pictures.h"

namespace onda_test {

Plane randomPlane(std::mt19937& random, int width, int height, double low, double high) {
    std::uniform_real_distribution<double> value(low, high);
    Plane plane(std::size_t(width) * std::size_t(height));
    for (double& v : plane) v = value(random);
    return plane;
}

Plane randomBytes(std::mt19937& random, int width, int height) {
    std::uniform_int_distribution<int> value(0, 255);
    Plane plane(std::size_t(width) * std::size_t(height));
    for (double& v : plane) v = value(random);
    return plane;
}

Plane planeFromFormula(int width, int height, double (*value)(int x, int y)) {
    Plane plane;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) plane.push_back(value(x, y));
    return plane;
}

std::vector<double> referenceForward(std::vector<double> plane, int width, int height, int levels) {
    for (int level = 0; level < levels; ++level) {
        const int rows = height >> level, cols = width >> level;
        std::vector<double> line;
        for (int y = 0; y < rows; ++y) {  // rows of the region
            line.assign(std::size_t(cols), 0);
            for (int k = 0; k < cols / 2; ++k) {
                const double a = plane[planeIndex(2 * k, y, width)];
                const double b = plane[planeIndex(2 * k + 1, y, width)];
                line[std::size_t(k)] = (a + b) / 2.0;
                line[std::size_t(cols / 2) + std::size_t(k)] = 128.0 + (a - b) / 2.0;
            }
            for (int x = 0; x < cols; ++x) plane[planeIndex(x, y, width)] = line[std::size_t(x)];
        }
        for (int x = 0; x < cols; ++x) {  // then its columns
            line.assign(std::size_t(rows), 0);
            for (int k = 0; k < rows / 2; ++k) {
                const double a = plane[planeIndex(x, 2 * k, width)];
                const double b = plane[planeIndex(x, 2 * k + 1, width)];
                line[std::size_t(k)] = (a + b) / 2.0;
                line[std::size_t(rows / 2) + std::size_t(k)] = 128.0 + (a - b) / 2.0;
            }
            for (int y = 0; y < rows; ++y) plane[planeIndex(x, y, width)] = line[std::size_t(y)];
        }
    }
    return plane;
}

Plane withoutDetailOffset(Plane plane, int width, int height, int levels) {
    const int cornerWidth = levels > 0 ? width >> levels : width;
    const int cornerHeight = levels > 0 ? height >> levels : height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (x >= cornerWidth || y >= cornerHeight) plane[planeIndex(x, y, width)] -= 128.0;
    return plane;
}

std::vector<double> referenceInverse(std::vector<double> plane, int width, int height, int levels) {
    plane = withoutDetailOffset(std::move(plane), width, height, levels);
    for (int level = levels - 1; level >= 0; --level) {
        const int rows = height >> level, cols = width >> level;
        std::vector<double> line;
        for (int x = 0; x < cols; ++x) {  // columns of the region
            line.assign(std::size_t(rows), 0);
            for (int k = 0; k < rows / 2; ++k) {
                const double a = plane[planeIndex(x, k, width)];
                const double d = plane[planeIndex(x, rows / 2 + k, width)];
                line[2 * std::size_t(k)] = a + d;
                line[2 * std::size_t(k) + 1] = a - d;
            }
            for (int y = 0; y < rows; ++y) plane[planeIndex(x, y, width)] = line[std::size_t(y)];
        }
        for (int y = 0; y < rows; ++y) {  // then its rows
            line.assign(std::size_t(cols), 0);
            for (int k = 0; k < cols / 2; ++k) {
                const double a = plane[planeIndex(k, y, width)];
                const double d = plane[planeIndex(cols / 2 + k, y, width)];
                line[2 * std::size_t(k)] = a + d;
                line[2 * std::size_t(k) + 1] = a - d;
            }
            for (int x = 0; x < cols; ++x) plane[planeIndex(x, y, width)] = line[std::size_t(x)];
        }
    }
    return plane;
}

std::vector<double> planeOf(const Image& image, int c) {
    std::vector<double> plane;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) plane.push_back(channelAt(image, x, y, c));
    return plane;
}

ImagePtr referenceImage(const Image& input, int levels, Reference reference) {
    std::vector<std::vector<double>> planes;
    planes.reserve(3);
    for (int c = 0; c < 3; ++c) {
        planes.push_back(
            reference(planeOf(input, input.depth == 8 ? 0 : c), input.width, input.height, levels));
    }
    return makeImage(input.width, input.height, input.depth, [&](int x, int y, int c) {
        return int(planes[std::size_t(c)][planeIndex(x, y, input.width)]);
    });
}

}  // namespace onda_test
