#pragma once
// A second module for the hooking tests (hook_test_module.dll): bodies that
// the test executable reaches through its import table, and the handler of
// "another product" that hooks functions of the executable.
#ifdef HOOK_TEST_MODULE_BUILD
#define HOOK_TEST_MODULE_API __declspec(dllexport)
#else
#define HOOK_TEST_MODULE_API __declspec(dllimport)
#endif

extern "C" {
HOOK_TEST_MODULE_API int hm_import_body(int x, int unused);  // x - 4
HOOK_TEST_MODULE_API int hm_wine_body(int x, int unused);    // 3x
// The other product's replacement: counts its calls, returns 7x.
HOOK_TEST_MODULE_API int hm_foreign_handler(int x, int unused);
HOOK_TEST_MODULE_API int hm_foreign_calls();
}
