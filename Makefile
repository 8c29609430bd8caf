# make        installs what is missing, builds every preset, fills dist/
# make test   builds, then runs every test through CTest
# make demo   runs both Windows plugins in the probe host on the samples
PRESETS := native windows-x86 windows-x64
WINE_RUN := $(CURDIR)/cmake/wine-run.sh $(CURDIR)/build/wineprefix
PACKAGE = dist/pixdim-$(file <build/windows-x86/package/VERSION).zip
DEMO_ARGS := * --compare sunset.bmp sunset.png --compare sunset.png sunset-retouched.png

.PHONY: all setup build package test demo clean
all: package

setup:
	@scripts/setup-machine.sh

build: setup
	@set -e; for preset in $(PRESETS); do \
	  cmake --preset $$preset >/dev/null && cmake --build --preset $$preset; \
	done

# The install package: both plugin files, pluginst.inf and a readme.
package: build
	@mkdir -p dist
	cp build/windows-x86/pixdim.wdx build/windows-x64/pixdim.wdx64 dist/
	rm -f $(PACKAGE)
	zip -j -q $(PACKAGE) dist/pixdim.wdx dist/pixdim.wdx64 \
	  build/windows-x86/package/pluginst.inf build/windows-x86/package/readme.txt
	@echo "Built $(PACKAGE)"

test: package
	@status=0; for preset in $(PRESETS); do \
	  ctest --preset $$preset || status=1; \
	done; exit $$status

demo: package
	@echo "== 32-bit plugin ==" && cd samples && \
	  $(WINE_RUN) wine ../build/windows-x86/wdxprobe.exe ../dist/pixdim.wdx $(DEMO_ARGS)
	@echo && echo "== 64-bit plugin ==" && cd samples && \
	  $(WINE_RUN) wine64 ../build/windows-x64/wdxprobe.exe ../dist/pixdim.wdx64 $(DEMO_ARGS)

clean:
	rm -rf build dist
