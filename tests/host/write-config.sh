#!/usr/bin/env bash
# write-config.sh CONFIG_DIR PLUGIN FOLDER PICTURES TERMINAL: a fresh Double
# Commander configuration in CONFIG_DIR (for doublecmd --config-dir): PLUGIN
# registered as the content plugin "pixdim", a column set Name / Width /
# Height / Dimensions on the plugin's fields, the left panel on FOLDER in
# that set, TERMINAL as the terminal that runs commands (with the host's own
# parameters for one that stays open), the README's toolbar button for
# pixdim-compare, and the keys the test presses (one opens PICTURES).
set -euo pipefail
config_dir=$1
plugin=$2
folder=$3
pictures=$4
terminal=$5
# The toolbar button's identity, which its hotkey names.
compare_button='{6F1C0E52-7D1B-4E0B-9C55-3B1A4C8D2E10}'

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
    <RunInTerminalStayOpenCmd>$(xml_text "$terminal")</RunInTerminalStayOpenCmd>
    <RunInTerminalStayOpenParams>-e sh -c '{command}; echo -n Press ENTER to exit... ; read a'</RunInTerminalStayOpenParams>
  </Behaviours>
  <Toolbars>
    <MainToolbar>
      <Row>
        <Program>
          <ID>$compare_button</ID>
          <Icon>view-refresh</Icon>
          <Hint>Compare pictures</Hint>
          <Command>pixdim-compare</Command>
          <Params>%t1 %p1 %p2</Params>
        </Program>
      </Row>
    </MainToolbar>
  </Toolbars>
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
hotkey() {  # hotkey SHORTCUT COMMAND [PARAM]
  printf '      <Hotkey>\n        <Shortcut>%s</Shortcut>\n        <Command>%s</Command>\n' "$1" "$2"
  [ $# -lt 3 ] || printf '        <Param>%s</Param>\n' "$(xml_text "$3")"
  printf '      </Hotkey>\n'
}
cat > "$config_dir/shortcuts.scf" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<doublecmd DCVersion="1.0.10">
  <Hotkeys Version="53">
    <Form Name="Main">
$(hotkey Ctrl+A cm_MarkMarkAll)
$(hotkey Ctrl+Shift+A cm_MarkUnmarkAll)
$(hotkey Ctrl+Shift+D cm_CopyFileDetailsToClip)
$(hotkey Ctrl+M cm_MultiRename)
$(hotkey Ctrl+Shift+P cm_ExecuteToolbarItem "ToolItemID=$compare_button")
$(hotkey Shift+F1 cm_ChangeDir "activepath=$pictures")
$(hotkey Shift+F3 cm_MarkPlus)
    </Form>
    <Form Name="MultiRename">
$(hotkey F9 cm_Rename)
$(hotkey Esc cm_Close)
    </Form>
  </Hotkeys>
</doublecmd>
XML
