// Program entry: the controller and its message loop are built in the app library.
int VendlumeMain(int argc, char** argv);

int main(int argc, char** argv) { return VendlumeMain(argc, argv); }
