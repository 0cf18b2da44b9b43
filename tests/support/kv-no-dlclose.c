/* Preloaded into the sanitizer run's tests: libraries stay loaded until the
 * process ends, so the leak checker still knows which library a leak came
 * from (the GL driver is unloaded with the last GL window otherwise, and its
 * own leaks turn anonymous, beyond any suppression). */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
