#!/usr/bin/env bash
# write-config.sh CONFIG_DIR PLUGIN FOLDER: a fresh Double Commander
# configuration in CONFIG_DIR (for doublecmd --config-dir): PLUGIN registered
# as the content plugin "pixdim", a column set Name / Width / Height /
# Dimensions on the plugin's fields, the left panel on FOLDER in that set,
# and the keys the test presses.
set -euo pipefail
config_dir=$1
plugin=$2
folder=$3

xml_text() {  # the argument with XML's special characters escaped
  local text=${1//&/&amp;}
  text=${text//</&lt;}
  printf '%s' "${text//>/&gt;}"
}

column() {  # column TITLE FUNCTION WIDTH ALIGN (0 left, 1 right, 2 centre)
  cat <<XML
        <Column>
          <Title>$1</Title>
          <FuncString>$2</FuncString>
          <Width>$3</Width>
          <Align>$4</Align>
        </Column>
XML
}

rm -rf "$config_dir" && mkdir -p "$config_dir"

# No DetectString: the host then asks the plugin for it when loading it.
# The right panel shows the folder's parent, so only the left one asks the
# plugin about the folder's files.
cat > "$config_dir/doublecmd.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<doublecmd DCVersion="1.0.10" ConfigVersion="13">
  <MainWindow>
    <Position Save="False">
      <Left>0</Left>
      <Top>0</Top>
      <Width>1024</Width>
      <Height>720</Height>
      <Maximized>True</Maximized>
      <Splitter>72</Splitter>
    </Position>
  </MainWindow>
  <Tabs>
    <OpenedTabs>
      <Left>
        <ActiveTab>0</ActiveTab>
        <Tab>
          <FileView Type="columns">
            <History>
              <Entry Active="True">
                <FileSource Type="FileSystem"/>
                <Paths>
                  <Path Filename="">$(xml_text "$folder")</Path>
                </Paths>
              </Entry>
            </History>
            <ColumnsView>
              <ColumnsSet>pixdim</ColumnsSet>
            </ColumnsView>
          </FileView>
        </Tab>
      </Left>
      <Right>
        <ActiveTab>0</ActiveTab>
        <Tab>
          <Path>$(xml_text "$(dirname "$folder")")</Path>
        </Tab>
      </Right>
    </OpenedTabs>
  </Tabs>
  <Behaviours>
    <ActiveRight>False</ActiveRight>
  </Behaviours>
  <Icons>
    <Size>16</Size>
  </Icons>
  <ColumnsSets>
    <ColumnsSet>
      <Name>pixdim</Name>
      <FileSystem>&lt;General&gt;</FileSystem>
      <Columns>
$(column Name '[DC().GETFILENAME{}]' 330 0)
$(column Width '[Plugin(pixdim).Width{}]' 80 1)
$(column Height '[Plugin(pixdim).Height{}]' 80 1)
$(column Dimensions '[Plugin(pixdim).Dimensions{}]' 130 2)
      </Columns>
    </ColumnsSet>
  </ColumnsSets>
  <Plugins>
    <WdxPlugins>
      <WdxPlugin>
        <Name>pixdim</Name>
        <Path>$(xml_text "$plugin")</Path>
      </WdxPlugin>
    </WdxPlugins>
  </Plugins>
</doublecmd>
XML

# Only these keys; the version matches the host's, so it adds no defaults.
cat > "$config_dir/shortcuts.scf" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<doublecmd DCVersion="1.0.10">
  <Hotkeys Version="53">
    <Form Name="Main">
      <Hotkey>
        <Shortcut>Ctrl+A</Shortcut>
        <Command>cm_MarkMarkAll</Command>
      </Hotkey>
      <Hotkey>
        <Shortcut>Ctrl+Shift+A</Shortcut>
        <Command>cm_MarkUnmarkAll</Command>
      </Hotkey>
      <Hotkey>
        <Shortcut>Ctrl+Shift+D</Shortcut>
        <Command>cm_CopyFileDetailsToClip</Command>
      </Hotkey>
    </Form>
  </Hotkeys>
</doublecmd>
XML
