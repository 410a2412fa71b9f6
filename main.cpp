#include "app/CSonaroApp.h"

int main(int argc, char** argv) {
    return runSonaro(argc, argv);
}
