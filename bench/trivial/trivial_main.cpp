// The floor of a Windows process: starts and exits, nothing else. The start-up
// harness measures the console against it.
int wmain() { return 0; }
