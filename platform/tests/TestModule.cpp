// A small shared object the module tests load.
extern "C" {
__attribute__((visibility("default"))) int quorvel_test_answer() { return 42; }
__attribute__((visibility("default"))) int quorvel_test_counter = 7;
}
