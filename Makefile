# make        installs what is missing, builds every preset, fills dist/
# make test   builds, then runs every test through CTest
# make demo   runs the three plugins in the probe host on the samples
# make bench  times the plugins against the bare imaging calls
# make mutants removes each guard of tests/mutants/guards.txt in turn and
#             names those no test notices (too slow for make test)
PRESETS := native windows-x86 windows-x64
WINE_RUN := $(CURDIR)/cmake/wine-run.sh $(CURDIR)/build/wineprefix
VERSION = $(file <build/windows-x86/package/VERSION)
PACKAGE = dist/pixdim-$(VERSION).zip
LINUX_PACKAGE = dist/pixdim-$(VERSION)-linux-x86_64.tar.gz
DEB_PACKAGE = dist/pixdim_$(VERSION)_amd64.deb
DEMO_ARGS := * --compare sunset.bmp sunset.png --compare sunset.png sunset-retouched.png

.PHONY: all setup build package test demo bench mutants clean
all: package

setup:
	@scripts/setup-machine.sh

build: setup
	@set -e; for preset in $(PRESETS); do \
	  cmake --preset $$preset >/dev/null && cmake --build --preset $$preset; \
	done

# dist/: the three plugins, the install package of the two Windows ones
# with pluginst.inf and a readme, and the Linux plugin with pixdim-compare
# with its manual page and a readme, as an archive and as a Debian package.
package: build
	@mkdir -p dist/linux
	cp build/windows-x86/pixdim.wdx build/windows-x64/pixdim.wdx64 dist/
	cp build/native/linux/pixdim.wdx build/native/linux/pixdim-compare dist/linux/
	rm -f $(PACKAGE)
	zip -j -q $(PACKAGE) dist/pixdim.wdx dist/pixdim.wdx64 \
	  build/windows-x86/package/pluginst.inf build/windows-x86/package/readme.txt
	@echo "Built $(PACKAGE)"
	rm -rf build/linux-package && mkdir -p build/linux-package/pixdim
	cp dist/linux/pixdim.wdx dist/linux/pixdim-compare build/native/package/readme.txt \
	  build/native/package/pixdim-compare.1 build/linux-package/pixdim/
	tar -czf $(LINUX_PACKAGE) -C build/linux-package --owner=0 --group=0 pixdim
	@echo "Built $(LINUX_PACKAGE)"
	@scripts/make-deb.sh $(VERSION) dist/linux/pixdim.wdx dist/linux/pixdim-compare \
	  build/native/package/readme.txt build/native/package/pixdim-compare.1 $(DEB_PACKAGE)

test: package
	@status=0; for preset in $(PRESETS); do \
	  ctest --preset $$preset || status=1; \
	done; exit $$status

demo: package
	@echo "== 32-bit plugin ==" && cd samples && \
	  $(WINE_RUN) wine ../build/windows-x86/wdxprobe.exe ../dist/pixdim.wdx $(DEMO_ARGS)
	@echo && echo "== 64-bit plugin ==" && cd samples && \
	  $(WINE_RUN) wine64 ../build/windows-x64/wdxprobe.exe ../dist/pixdim.wdx64 $(DEMO_ARGS)
	@echo && echo "== Linux plugin ==" && cd samples && \
	  ../build/native/wdxprobe ../dist/linux/pixdim.wdx $(DEMO_ARGS)

BENCH := $(CURDIR)/build/bench-images
PILLOW_RATES := build/bench-pillow-rates.txt
# Each step is bounded in time; Pillow comes from Debian's python3-pil.
bench: package
	@scripts/make-bench-images.sh $(BENCH)
	@echo "== 64-bit plugin under Wine: field values, then compares =="
	@cd build/windows-x64/bench && \
	  timeout 1800 $(WINE_RUN) wine64 bench_values.exe ../../../dist/pixdim.wdx64 \
	    $(BENCH)/small-1.png $(BENCH)/small-4.png $(BENCH)/large.jpg $(BENCH)/large.bmp && \
	  timeout 1800 $(WINE_RUN) wine64 bench_compare.exe ../../../dist/pixdim.wdx64 \
	    $(BENCH)/large.png $(BENCH)/large.bmp $(BENCH)/large.bmp $(BENCH)/large-last-pixel.png
	@echo && echo "== 64-bit plugin under Wine: a folder of 1000 pictures =="
	@cd build/windows-x64/bench && \
	  timeout 1800 $(WINE_RUN) wine64 bench_folder_windows.exe ../../../dist/pixdim.wdx64 Z:$(BENCH)/folder && \
	  timeout 1800 $(WINE_RUN) wine64 ../tests/crosscheck/size_crosscheck.exe ../../../dist/pixdim.wdx64 \
	    Z:$(BENCH)/folder | grep -v '^NOTE'
	@echo && echo "== Linux plugin: a folder of 1000 pictures =="
	@timeout 600 /usr/bin/python3 bench/pillow_sizes.py $(BENCH)/folder >$(PILLOW_RATES)
	@timeout 1800 build/native/bench/bench_folder dist/linux/pixdim.wdx $(BENCH)/folder $(PILLOW_RATES)
	@echo && echo "== Linux plugin: compares of 24 Mpx pairs =="
	@timeout 1800 build/native/bench/bench_compare_pixbuf dist/linux/pixdim.wdx $(BENCH)/large.png \
	  $(BENCH)/large.bmp $(BENCH)/large-copy.png $(BENCH)/large-first-rows.png $(BENCH)/large-last-pixel.png \
	  $(BENCH)/large.jpg $(BENCH)/large-copy.jpg $(BENCH)/large-retagged.jpg \
	  $(BENCH)/large-plain.jpg $(BENCH)/large-plain.bmp
	@echo && echo "== Inputs crafted to cost a decoder dear: one call each =="
	@timeout 1800 /usr/bin/python3 bench/costly_inputs.py build/costly-inputs build/native/wdxprobe \
	  dist/linux/pixdim.wdx "$(WINE_RUN)" build/windows-x64/wdxprobe.exe dist/pixdim.wdx64

mutants: setup
	@timeout 7200 /usr/bin/python3 scripts/run-mutants.py

clean:
	rm -rf build dist
