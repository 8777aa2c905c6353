// Program entry: the whole control flow lives in qnd_main (driver/).
int main(int argc, char** argv);
int main(int, char**) { return 0; }
